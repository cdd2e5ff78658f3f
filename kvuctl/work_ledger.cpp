#include "kvuctl/work_ledger.h"

namespace kvu::ctl {

int WorkLedger::add(const Target& target) {
    std::lock_guard lock(mutex_);
    Entry entry;
    entry.record.target = target;
    entries_.push_back(entry);
    return static_cast<int>(entries_.size()) - 1;
}

void WorkLedger::moved(int entry, const DeviceRecord& sofar) {
    std::lock_guard lock(mutex_);
    Entry& e = entries_[static_cast<std::size_t>(entry)];
    if (!e.done) {
        e.record = sofar;
    }
}

bool WorkLedger::finished(int entry, const DeviceRecord& record) {
    std::lock_guard lock(mutex_);
    Entry& e = entries_[static_cast<std::size_t>(entry)];
    if (e.done) {
        return false;
    }
    e.record = record;
    e.done = true;
    return true;
}

std::vector<DeviceRecord> WorkLedger::abandonUnfinished() {
    std::lock_guard lock(mutex_);
    std::vector<DeviceRecord> cut;
    for (Entry& e : entries_) {
        if (!e.done) {
            e.record = abandonedRecord(e.record);
            e.done = true;
            cut.push_back(e.record);
        }
    }
    return cut;
}

std::vector<DeviceRecord> WorkLedger::records() const {
    std::lock_guard lock(mutex_);
    std::vector<DeviceRecord> all;
    for (const Entry& e : entries_) {
        all.push_back(e.record);
    }
    return all;
}

}  // namespace kvu::ctl
