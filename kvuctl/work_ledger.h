// Where each device's work stands, shared by the device threads and an interrupt that gives up
// on them: the records an abandoned run still owes, each written once.
#pragma once

#include <mutex>
#include <vector>

#include "kvuctl/device_work.h"

namespace kvu::ctl {

class WorkLedger {
  public:
    // A device about to be worked on; returns its entry.
    int add(const Target& target);
    void moved(int entry, const DeviceRecord& sofar);
    // The device's own record; false when the run was abandoned first (its record is written).
    bool finished(int entry, const DeviceRecord& record);
    // Every unfinished device's record as cut off at its step, marked finished; in entry order.
    std::vector<DeviceRecord> abandonUnfinished();
    // Every entry's record as it stands, in entry order.
    std::vector<DeviceRecord> records() const;

  private:
    struct Entry {
        DeviceRecord record;
        bool done = false;
    };
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

}  // namespace kvu::ctl
