// Runs one command on several devices side by side, each on its own thread: one device's failure
// never stops or changes another's work.
#pragma once

#include <vector>

#include "kvuctl/audit_report.h"
#include "kvuctl/device_work.h"
#include "kvuctl/progress_lines.h"
#include "kvuctl/work_ledger.h"

namespace kvu::ctl {

// Who follows the run. Progress and the report may be null; `ledger` gets an entry per target.
struct FleetFollowers {
    ProgressLines* progress = nullptr;
    AuditReport* report = nullptr;  // read -o: appended by the caller, after the save
    WorkLedger* ledger = nullptr;
    std::function<bool()> stopRequested;
};

// The records in the order of `targets`.
std::vector<DeviceRecord> runFleet(const Job& job, const std::vector<Target>& targets,
                                   const FleetFollowers& followers);

// "write", "diff", "watch write", ...: the operation's name in reports.
QString operationName(Command command);

}  // namespace kvu::ctl
