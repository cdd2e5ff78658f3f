// Which devices a kvuctl command works on: the attached KVUs, and the choice the options make
// among them.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

#include "kvuctl/ctl_options.h"

namespace kvu::ctl {

struct Target {
    QString port;
    QString location;  // "1-1.3" on Linux, the location text on Windows; empty when unknown
};

// Every attached KVU. On Linux, KVU_SYSFS_ROOT and KVU_DEV_ROOT put discovery on another
// sysfs and device folder (simulated devices, tests).
std::vector<Target> attachedKvus();

struct Selection {
    int exitStatus = 0;  // non-zero: stop with this status and `error`
    QString error;
    std::vector<Target> targets;
    QStringList requiredSerials;  // only devices with one of these serials take part
};

using AttachedList = std::function<std::vector<Target>()>;

// The targets of the command. `attached` is asked only when the options need the search.
Selection selectTargets(const CtlOptions& options, const AttachedList& attached);

// The port as the system knows it (a link resolved), so that one port named twice is one.
QString portIdentity(const QString& port);

// "ttyACM0, ttyACM1" style list of the ports, for messages.
QString portList(const std::vector<Target>& targets);

}  // namespace kvu::ctl
