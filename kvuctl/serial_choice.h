// --serial among the attached ports: each is asked its identity alone ("ver", "serial") and let go
// at once, so that only the devices asked for are read and held, and a busy port is no failure.
#pragma once

#include <QStringList>

#include <vector>

#include "kvuctl/device_work.h"

namespace kvu::ctl {

struct SerialChoice {
    std::vector<Target> chosen;      // the ports whose device has one of the serials
    std::vector<DeviceRecord> left;  // the others, Skipped, with the identity that was read
    QStringList notes;               // ports that could not be asked, for stderr
};

// The ports' identities side by side, a thread per port.
SerialChoice chooseBySerial(const std::vector<Target>& targets, const QStringList& serials);

}  // namespace kvu::ctl
