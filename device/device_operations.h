// Read, Write and Erase of all five profiles over a link that is up, as every front end runs
// them: each returns one result that says what happened, what failed and what was read.
#pragma once

#include <QString>

#include <functional>
#include <vector>

#include "device/connection_supervisor.h"
#include "settings/profile_fields.h"
#include "settings/profiles.h"

namespace kvu::device {

struct OperationResult {
    bool ok = false;
    QString title;            // "Write Result", "Reload Result" or "Erase Result"
    QString outcome;          // "Write Successfully", "Erase Failed", ...
    QString failedCommand;    // the command that failed, as sent (closing CR included)
    QString error;            // the transaction's error text, "<port> Write Error." and the like
    DeviceProfiles profiles;  // the device's values after a successful read or erase
    std::vector<FieldDifference> differences;                     // what a read-back found changed
    protocol::FailureCause cause = protocol::FailureCause::None;  // why the failed command failed
};

// The cause in a few words for a person: "refused", "no answer", "device left", ...
QString failureCauseText(protocol::FailureCause cause);

// "get\r": the device's five profiles.
OperationResult readProfiles(ConnectionSupervisor& link);
// Called once the set lines were taken, just before "fw\r" is sent: from then on the device may
// hold the new values, whatever becomes of the reply.
using CommitNotice = std::function<void()>;

// The 24 set lines from `profiles`, then the commit "fw\r"; an unanswered or refused commit is
// a failed write, since the device did not save them.
OperationResult writeProfiles(ConnectionSupervisor& link, const DeviceProfiles& profiles,
                              const CommitNotice& beforeCommit = {});
// "get\r", then every field compared with `expected`: a field that differs fails the check, and
// the result names each one. The profiles hold what was read.
OperationResult verifyProfiles(ConnectionSupervisor& link, const DeviceProfiles& expected);
// writeProfiles, then, when `verify`, verifyProfiles against what was written: a device that
// answered the commit but did not keep a value fails.
OperationResult writeVerifiedProfiles(ConnectionSupervisor& link, const DeviceProfiles& profiles,
                                      bool verify);
// "fe\r", then a read-back; a failed read-back is reported as a failed reload.
OperationResult eraseProfiles(ConnectionSupervisor& link);

}  // namespace kvu::device
