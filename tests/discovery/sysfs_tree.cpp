#include "tests/discovery/sysfs_tree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace kvu::test {

namespace {

QString interfaceOf(const QString& devicePath) {
    return devicePath + "/" + QFileInfo(devicePath).fileName() + ":1.0";
}

}  // namespace

SysfsTree::SysfsTree() {
    ok_ = dir_.isValid();
    mkdir(sysRoot() + "/class/tty");
    mkdir(devRoot());
}

void SysfsTree::usbDevice(const QString& path, const QString& idVendor, const QString& idProduct,
                          const QString& bcdDevice) {
    const QString dir = sysRoot() + "/devices/" + path;
    mkdir(dir);
    const QString values[] = {idVendor, idProduct, bcdDevice};
    const char* names[] = {"idVendor", "idProduct", "bcdDevice"};
    for (int i = 0; i < 3; ++i) {
        if (!values[i].isEmpty()) {
            write(dir + "/" + names[i], values[i] + "\n");
        }
    }
}

void SysfsTree::acmPort(const QString& devicePath, const QString& tty) {
    const QString iface = interfaceOf(devicePath);
    const QString folder = sysRoot() + "/devices/" + iface + "/tty/" + tty;
    mkdir(folder);
    symlink("../../../" + QFileInfo(iface).fileName(), folder + "/device");
    classLink(tty, "../../devices/" + iface + "/tty/" + tty);
}

void SysfsTree::otherTty(const QString& devicePath, const QString& tty) {
    const QString base = devicePath.isEmpty() ? QString("virtual/tty") : devicePath + "/tty";
    const QString folder = sysRoot() + "/devices/" + base + "/" + tty;
    mkdir(folder);
    if (!devicePath.isEmpty()) {
        symlink("../../../" + QFileInfo(devicePath).fileName(), folder + "/device");
    }
    classLink(tty, "../../devices/" + base + "/" + tty);
}

void SysfsTree::classLink(const QString& tty, const QString& target) {
    symlink(target, sysRoot() + "/class/tty/" + tty);
}

QString SysfsTree::ttyFolder(const QString& devicePath, const QString& tty) const {
    return sysRoot() + "/devices/" + interfaceOf(devicePath) + "/tty/" + tty;
}

void SysfsTree::mkdir(const QString& path) {
    ok_ = QDir().mkpath(path) && ok_;
}

void SysfsTree::symlink(const QString& target, const QString& link) {
    std::error_code error;
    std::filesystem::create_symlink(target.toStdString(), link.toStdString(), error);
    ok_ = !error && ok_;
}

void SysfsTree::write(const QString& path, const QString& text) {
    QFile file(path);
    ok_ =
        file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size() && ok_;
}

}  // namespace kvu::test
