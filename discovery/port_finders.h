// Where the next connection attempt looks for the device: by its USB identity, or at a port
// the operator named.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace kvu {

// Fills `port` and returns true when a port to try exists now; leaves it alone otherwise.
using PortFinder = std::function<bool(QString& port)>;

// Appends the device's ports to the list and returns how many (the host's enumeration when
// empty).
using PortEnumerator = std::function<int(QStringList& ports)>;

// Fresh discovery into `ports`; the first match goes into `port`.
bool findKvuPort(QStringList& ports, QString& port, const PortEnumerator& enumerate = {});

// Searches by USB identity on every call.
PortFinder usbPortFinder(PortEnumerator enumerate = {});
// The given path, whenever it exists (a symlink counts while its target exists). On Windows a
// device name such as COM9 is no file; it counts always, and opening it tells.
PortFinder fixedPortFinder(const QString& path);

// A Windows device name: "COM<n>" or anything in the "\\.\" namespace, in any letter case.
bool isWindowsDeviceName(const QString& name);
// Whether a port the operator named may be there to open now.
bool portMayBePresent(const QString& path);

}  // namespace kvu
