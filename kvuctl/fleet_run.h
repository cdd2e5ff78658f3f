// Runs one command on several devices side by side, each on its own thread: one device's failure
// never stops or changes another's work.
#pragma once

#include <vector>

#include "kvuctl/audit_report.h"
#include "kvuctl/device_work.h"
#include "kvuctl/progress_lines.h"

namespace kvu::ctl {

// The records in the order of `targets`. Progress and the report may be null.
std::vector<DeviceRecord> runFleet(const Job& job, const std::vector<Target>& targets,
                                   ProgressLines* progress, AuditReport* report);

// "write", "diff", "watch write", ...: the operation's name in reports.
QString operationName(Command command);

}  // namespace kvu::ctl
