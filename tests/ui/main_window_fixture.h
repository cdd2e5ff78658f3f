// A main window built in a scratch working directory (its log file lands there), with a fake
// dialog service.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <memory>

#include "tests/support/fake_dialogs.h"
#include "ui/main_dialog.h"

namespace kvu::test {

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(scratch_.isValid());
        previousDir_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(scratch_.path()));
        options_.commandLine = QStringLiteral("KVUUtility --log=DEBUG");
        options_.debugLog = true;
        dlg_ = std::make_unique<CKVUUtilityDlg>(options_, dialogs_);
    }
    void TearDown() override {
        dlg_.reset();
        QDir::setCurrent(previousDir_);
    }

    QWidget* control(int id) const { return dlg_->control(id); }

    QTemporaryDir scratch_;
    QString previousDir_;
    kvu::AppOptions options_;
    FakeDialogs dialogs_;
    std::unique_ptr<CKVUUtilityDlg> dlg_;
};

}  // namespace kvu::test
