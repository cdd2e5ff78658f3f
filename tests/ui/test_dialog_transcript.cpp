// Unattended dialogs: transcript lines, escaping, and the real service writing them.
#include <QDialog>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

#include "ui/dialog_transcript.h"
#include "ui/qt_dialog_service.h"

using kvu::DialogService;

TEST(DialogTranscript, EscapesLineBreaksAndBackslashes) {
    struct Case {
        QString text;
        QString escaped;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"two\nlines", "two\\nlines"},
        {"crlf\r\nend", "crlf\\r\\nend"},
        {"back\\slash\\n", "back\\\\slash\\\\n"},
        {"", ""},
        {QString::fromUtf8("APN：ä"), QString::fromUtf8("APN：ä")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(kvu::escapeTranscriptText(c.text), c.escaped);
        EXPECT_FALSE(kvu::escapeTranscriptText(c.text).contains(u'\n'));
    }
}

TEST(DialogTranscript, LinesNameTheIconOrTheDialog) {
    EXPECT_EQ(kvu::messageTranscriptLine(DialogService::Icon::Information, "a\nb"),
              QStringLiteral("Information\ta\\nb"));
    EXPECT_EQ(kvu::messageTranscriptLine(DialogService::Icon::Warning, "w"),
              QStringLiteral("Warning\tw"));
    EXPECT_EQ(kvu::messageTranscriptLine(DialogService::Icon::Error, "e"),
              QStringLiteral("Error\te"));
    EXPECT_EQ(kvu::dialogTranscriptLine("About Nalto KVU Utility"),
              QStringLiteral("Dialog\tAbout Nalto KVU Utility"));
}

TEST(DialogTranscript, AppendFailsOnAnUnwritablePath) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString error;
    EXPECT_FALSE(kvu::appendTranscriptLine(dir.filePath("missing/sub/file.txt"), "x", &error));
    EXPECT_FALSE(error.isEmpty());
}

class TranscriptService : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.filePath("dialogs.txt");
        qputenv(kvu::kDialogTranscriptVariable, path_.toLocal8Bit());
    }
    void TearDown() override { qunsetenv(kvu::kDialogTranscriptVariable); }

    QByteArray transcript() const {
        QFile file(path_);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir_;
    QString path_;
};

TEST_F(TranscriptService, EveryDialogAppendsOneLineAndReturnsAtOnce) {
    kvu::QtDialogService service;
    service.messageBox(nullptr, "Application already running.", DialogService::Icon::Warning);
    service.messageBox(nullptr, "first\nsecond", DialogService::Icon::Error);
    QDialog dialog;
    dialog.setWindowTitle("Write Result");
    EXPECT_EQ(service.execDialog(dialog), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(transcript(), QByteArray("Warning\tApplication already running.\n"
                                       "Error\tfirst\\nsecond\n"
                                       "Dialog\tWrite Result\n"));
}

TEST_F(TranscriptService, FileDialogIsRecordedAndCountsAsCancelled) {
    kvu::QtDialogService service;
    kvu::FileDialogRequest open{kvu::FileDialogRequest::Kind::Open,
                                "*.all",
                                "All Preset File(*.all)|*.all|",
                                1,
                                {{1068, "WWAN1", true}}};
    const kvu::FileDialogResult opened = service.fileDialog(nullptr, open);
    EXPECT_FALSE(opened.accepted);
    EXPECT_TRUE(opened.path.isEmpty());
    const kvu::FileDialogRequest save{
        kvu::FileDialogRequest::Kind::Save, "*.wifi", "Wi-Fi Preset File(*.wifi)|*.wifi|", 0, {}};
    EXPECT_FALSE(service.fileDialog(nullptr, save).accepted);
    EXPECT_EQ(transcript(), QByteArray("FileOpen\t*.all\tAll Preset File(*.all)|*.all|\n"
                                       "FileSave\t*.wifi\tWi-Fi Preset File(*.wifi)|*.wifi|\n"));
}

TEST_F(TranscriptService, AppendsToAnExistingTranscript) {
    {
        QFile file(path_);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Information\tearlier\n");
    }
    kvu::QtDialogService service;
    service.messageBox(nullptr, "later", DialogService::Icon::Information);
    EXPECT_EQ(transcript(), QByteArray("Information\tearlier\nInformation\tlater\n"));
}
