// Finds the device's serial ports among those present on the host, by USB identity.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace kvu {

// One attached device's port and where it is plugged in.
struct KvuPort {
    QString port;
    QString location;
};

class KvuPortList {
  public:
    // Every port of the device, in the host's order; empty when there is none or the enumeration
    // cannot start. Logged as enumerate() logs.
    static std::vector<KvuPort> list();
    // Appends the device's ports to the list (never empties it), in the host's order; returns
    // how many; 0 when the enumeration cannot start. Linux: sysfs; Windows: SetupAPI.
    static int enumerate(QStringList& ports);
#ifndef _WIN32
    // Same, with the sysfs root and the device folder given.
    static int enumerate(QStringList& ports, const QString& sysRoot, const QString& devRoot);
    static std::vector<KvuPort> list(const QString& sysRoot, const QString& devRoot);
#endif
};

}  // namespace kvu
