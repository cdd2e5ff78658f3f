// The USB serial ports present on a Linux host, read from sysfs, with their identifiers spelled
// as Windows spells them so that the device's port is recognised by the same tests.
#pragma once

#include "discovery/port_match.h"

#include <QString>

#include <vector>

namespace kvu {

// Every tty under <sysRoot>/class/tty whose device is a USB interface, sorted by port name
// (plain text order); the port name is <devRoot>/<ttyname>. Other ttys are left out. An id whose
// attributes cannot be read stays empty, so the port fails the tests. Links that resolve outside
// sysRoot are not followed.
std::vector<SerialPortInfo> enumerateSysfsSerialPorts(const QString& sysRoot = "/sys",
                                                      const QString& devRoot = "/dev");

}  // namespace kvu
