// The real file dialog: the request's filter and extension in Qt's forms, and the dialog as the
// operator meets it, answered here through its own widgets.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

#include "ui/qt_dialog_service.h"

namespace {

using kvu::FileDialogRequest;
using kvu::FileDialogResult;

TEST(FileDialogFilter, DescriptionPatternPairsBecomeQtNameFilters) {
    struct Case {
        QString filter;
        QStringList expected;
    };
    const Case cases[] = {
        {"WWAN Preset File(*.wwan)|*.wwan|", {"WWAN Preset File(*.wwan)"}},
        {"Wi-Fi Preset File(*.wifi)|*.wifi|", {"Wi-Fi Preset File(*.wifi)"}},
        {"All Preset File(*.all)|*.all|", {"All Preset File(*.all)"}},
        {"Text|*.txt;*.log|Any(*.*)|*.*|", {"Text (*.txt *.log)", "Any(*.*)"}},
        {"|*.x|", {"(*.x)"}},
        {"No pattern||", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter.toStdString());
        EXPECT_EQ(kvu::qtNameFilters(c.filter), c.expected);
    }
}

TEST(FileDialogFilter, DefaultExtensionPatternGivesTheSuffix) {
    const std::pair<QString, QString> cases[] = {
        {"*.wwan", "wwan"}, {"*.all", "all"}, {"*.*", ""}, {"*", ""}, {"", ""}, {"wifi", ""}};
    for (const auto& [pattern, suffix] : cases) {
        EXPECT_EQ(kvu::suffixOfPattern(pattern), suffix) << pattern.toStdString();
    }
}

class RealFileDialog : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    // Runs the service's dialog; `operate` acts on it once it is up, as the operator would. A
    // question box on the way (which must not come) is counted and closed.
    FileDialogResult show(const FileDialogRequest& request,
                          std::function<void(QFileDialog&)> operate) {
        bool operated = false;
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog != nullptr && !operated) {
                operated = true;
                operate(*dialog);
            }
        });
        poll.start();
        // Runs even while a question box blocks the dialog's accept, and ends a dialog that
        // would otherwise never close.
        QTimer guard;
        guard.setInterval(2000);
        QObject::connect(&guard, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                ++questions_;
                box->reject();
            } else if (modal != nullptr) {
                modal->close();
            }
        });
        guard.start();
        kvu::QtDialogService service;
        const FileDialogResult result = service.fileDialog(nullptr, request);
        EXPECT_TRUE(operated);
        return result;
    }

    // As the operator types a full path into the name field.
    static void typeFileName(QFileDialog& dialog, const QString& path) {
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(path);
    }

    static FileDialogRequest allOpenRequest() {
        FileDialogRequest request{
            FileDialogRequest::Kind::Open, "*.all", "All Preset File(*.all)|*.all|", 1, {}};
        const char* const labels[] = {"WWAN1", "WWAN2", "WWAN3", "WWAN4", "Wi-Fi"};
        for (int i = 0; i < 5; ++i) {
            request.checkButtons.push_back({1068 + i, labels[i], true});
        }
        return request;
    }

    QTemporaryDir dir_;
    int questions_ = 0;
};

TEST_F(RealFileDialog, OpenDialogCarriesTheCheckButtonsAndTakesAFileThatIsNotThere) {
    const QString path = dir_.filePath("new.all");
    const FileDialogResult result = show(allOpenRequest(), [&](QFileDialog& dialog) {
        EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(dialog.nameFilters(), QStringList{"All Preset File(*.all)"});
        EXPECT_EQ(dialog.defaultSuffix(), "all");
        const QList<QCheckBox*> boxes = dialog.findChildren<QCheckBox*>();
        QStringList labels;
        for (QCheckBox* box : boxes) {
            labels << box->text();
            EXPECT_TRUE(box->isChecked());
            EXPECT_TRUE(box->isVisible());
        }
        EXPECT_EQ(labels, (QStringList{"WWAN1", "WWAN2", "WWAN3", "WWAN4", "Wi-Fi"}));
        if (auto* wwan3 = dialog.findChild<QCheckBox*>("1070")) {
            wwan3->setChecked(false);
        }
        typeFileName(dialog, path);
        static_cast<QDialog&>(dialog).accept();  // as the Open or Save button does
    });
    EXPECT_TRUE(result.accepted);
    EXPECT_EQ(result.path, QDir::toNativeSeparators(path));
    EXPECT_EQ(result.checkStates,
              (std::map<int, bool>{
                  {1068, true}, {1069, true}, {1070, false}, {1071, true}, {1072, true}}));
    EXPECT_EQ(questions_, 0);
}

TEST_F(RealFileDialog, SaveDialogReplacesAFileWithoutAsking) {
    const QString path = dir_.filePath("old.wwan");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[WWAN]\r\n");
    }
    const FileDialogRequest request{
        FileDialogRequest::Kind::Save, "*.wwan", "WWAN Preset File(*.wwan)|*.wwan|", 0, {}};
    const FileDialogResult result = show(request, [&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_TRUE(dialog.findChildren<QCheckBox*>().isEmpty());
        typeFileName(dialog, path);
        static_cast<QDialog&>(dialog).accept();  // as the Open or Save button does
    });
    EXPECT_TRUE(result.accepted);
    EXPECT_EQ(result.path, QDir::toNativeSeparators(path));
    EXPECT_TRUE(result.checkStates.empty());
    EXPECT_EQ(questions_, 0);
}

TEST_F(RealFileDialog, CancelReportsNoFile) {
    const FileDialogResult result =
        show(allOpenRequest(), [](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_FALSE(result.accepted);
    EXPECT_TRUE(result.path.isEmpty());
    EXPECT_FALSE(kvu::isTicked(result, 1068));
}

}  // namespace
