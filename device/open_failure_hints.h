// What a person can do when a device's port exists but cannot be opened, worded once for every
// front end.
#pragma once

#include <QString>

namespace kvu {

// The port exists, but this user may not open it: the group and the udev rule.
QString permissionDeniedHint(const QString& port);
// Another program (or another instance of ours) holds the port.
QString portBusyHint(const QString& port);

}  // namespace kvu
