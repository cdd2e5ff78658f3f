// A main window started with --port pointing at a simulated device's line (a symlink that
// follows the device across hang-ups and replugs), in a scratch working directory.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>

#include "serial/serial_channel.h"
#include "sim/simulated_device.h"
#include "tests/support/fake_dialogs.h"
#include "ui/main_dialog.h"

namespace kvu::test {

// What the simulated device holds when a test starts.
inline sim::DeviceState sampleDeviceState() {
    sim::DeviceState s;
    s.version = "3.2.1";
    s.mcuId = "00AB12CD";
    s.serial = "KV000777";
    for (int i = 0; i < 4; ++i) {
        const std::string n = std::to_string(i + 1);
        s.wwan[static_cast<std::size_t>(i)] = {"apn" + n + ".example", "user" + n,
                                               "Pw-" + n + "-secret", "1", "2"};
    }
    s.wifi = {"Plant-WLAN", "1", "0", "Phrase-Canary-55"};
    return s;
}

class DeviceWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(scratch_.isValid());
        previousDir_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(scratch_.path()));
        linkPath_ = scratch_.filePath(QStringLiteral("ttyKVU"));
    }
    void TearDown() override {
        dlg_.reset();
        device_.reset();
        QDir::setCurrent(previousDir_);
    }

    void startDevice(sim::DeviceState state = sampleDeviceState(), sim::Faults faults = {}) {
        sim::DeviceConfig config;
        config.initial = std::move(state);
        config.faults = std::move(faults);
        config.linkPath = linkPath_.toStdString();
        device_ = std::make_unique<sim::SimulatedDevice>(std::move(config));
        std::string error;
        ASSERT_TRUE(device_->start(error)) << error;
    }

    // The window as the program builds it for --port=<link>.
    void openWindow() {
        options_.commandLine = QStringLiteral("KVUUtility --log=DEBUG --port=") + linkPath_;
        options_.debugLog = true;
        options_.port = linkPath_;
        started_.start();
        dlg_ = std::make_unique<CKVUUtilityDlg>(options_, dialogs_);
        dlg_->show();
    }

    bool waitConnected(bool connected = true, int timeoutMs = 4000) {
        return QTest::qWaitFor([&] { return dlg_->isConnected() == connected; }, timeoutMs);
    }

    QLineEdit* edit(int id) const { return qobject_cast<QLineEdit*>(dlg_->control(id)); }
    QComboBox* combo(int id) const { return qobject_cast<QComboBox*>(dlg_->control(id)); }
    QGroupBox* box(int id) const { return qobject_cast<QGroupBox*>(dlg_->control(id)); }

    // The line is free when another holder can open it.
    bool portIsFree() const {
        SerialChannel probe;
        const bool opened = probe.initSerial(linkPath_);
        probe.uninitSerial();
        return opened;
    }

    QTemporaryDir scratch_;
    QString previousDir_;
    QString linkPath_;
    kvu::AppOptions options_;
    FakeDialogs dialogs_;
    QElapsedTimer started_;
    std::unique_ptr<sim::SimulatedDevice> device_;
    std::unique_ptr<CKVUUtilityDlg> dlg_;
};

}  // namespace kvu::test
