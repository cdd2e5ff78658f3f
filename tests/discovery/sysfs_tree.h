// A look-alike of /sys and /dev in a temporary folder, laid out as on a real host with
// relative links, for the Linux port enumerator.
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace kvu::test {

class SysfsTree {
  public:
    // Where the computer's own USB root hub sits, below sys/devices.
    static constexpr const char* kRootHub = "pci0000:00/0000:00:14.0/usb1";

    SysfsTree();
    bool ok() const { return ok_; }
    QString sysRoot() const { return dir_.path() + "/sys"; }
    QString devRoot() const { return dir_.path() + "/dev"; }
    QString port(const QString& tty) const { return devRoot() + "/" + tty; }

    // A USB device folder sys/devices/<path>; an empty value leaves that attribute file out,
    // any other is written with the newline sysfs puts there.
    void usbDevice(const QString& path, const QString& idVendor, const QString& idProduct,
                   const QString& bcdDevice);
    // A cdc_acm interface <device>/<device name>:1.0 carrying tty/<tty>, listed in class/tty.
    void acmPort(const QString& devicePath, const QString& tty);
    // A tty below sys/devices/<devicePath> that is no USB interface; an empty path makes a
    // virtual tty without a device link.
    void otherTty(const QString& devicePath, const QString& tty);
    // sys/class/tty/<tty> pointing at the given target verbatim.
    void classLink(const QString& tty, const QString& target);
    // The tty's own folder in sys/devices, as a class link would name it.
    QString ttyFolder(const QString& devicePath, const QString& tty) const;

  private:
    void mkdir(const QString& path);
    void symlink(const QString& target, const QString& link);
    void write(const QString& path, const QString& text);

    QTemporaryDir dir_;
    bool ok_ = true;
};

}  // namespace kvu::test
