#include "device/open_failure_hints.h"

namespace kvu {

QString permissionDeniedHint(const QString& port) {
    return QStringLiteral(
               "%1 exists, but this user may not open it.\n"
               "Add the user to the dialout group and log in again, or give the\n"
               "seat access with a udev rule for USB 0483:5740 (TAG+=\"uaccess\")\n"
               "and plug the device in again. The README has the details.")
        .arg(port);
}

QString portBusyHint(const QString& port) {
    return QStringLiteral(
               "%1 is held by another program (the KVU Utility window, a terminal\n"
               "program or a modem manager). Close it there and try again.")
        .arg(port);
}

}  // namespace kvu
