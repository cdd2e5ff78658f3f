// Whether a serial port belongs to the device, judged from its USB identity as Windows spells
// it. Pure: the platform enumerators supply the texts.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace kvu {

struct SerialPortInfo {
    QString portName;          // what the program opens: "/dev/ttyACM0", "COM5"
    QString parentInstanceId;  // e.g. USB\VID_1A40&PID_0201\1-1
    QString firstHardwareId;   // e.g. USB\VID_0483&PID_5740&REV_0200
    QString location;          // where it is plugged in: "1-1.3" (sysfs), the location on Windows
};

// The hub test alone, with its debug lines: true when the parent is the device's hub.
bool matchKvuHub(const QString& parentInstanceId);
// Hub test, then device test, each logged at debug as discovery does; true when the port is
// the device's (and "Add <port>" was logged).
bool matchKvuPort(const SerialPortInfo& port);
// Appends the matching ports' names in the given order; returns how many were appended.
int matchKvuPorts(const std::vector<SerialPortInfo>& ports, QStringList& out);

}  // namespace kvu
