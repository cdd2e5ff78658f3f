// A dialog service for tests: records every message box and helper dialog instead of showing
// it, and answers helper dialogs from a queue (Accepted when the queue is empty).
#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/dialog_service.h"

namespace kvu::test {

class FakeDialogs : public kvu::DialogService {
  public:
    struct Message {
        QWidget* parent;
        QString text;
        Icon icon;
    };
    struct Dialog {
        std::string className;  // meta-object class name, e.g. "CAboutDlg"
        QString caption;
        int answer;
    };

    void messageBox(QWidget* parent, const QString& text, Icon icon) override {
        messages.push_back({parent, text, icon});
    }

    int execDialog(QDialog& dialog) override {
        // The dialog is complete here, as it would be on screen; a test may look at it.
        if (onDialog) {
            onDialog(dialog);
        }
        int answer = QDialog::Accepted;
        if (!dialogAnswers.empty()) {
            answer = dialogAnswers.front();
            dialogAnswers.pop_front();
        }
        dialogs.push_back({dialog.metaObject()->className(), dialog.windowTitle(), answer});
        return answer;
    }

    std::vector<Message> messages;
    std::vector<Dialog> dialogs;
    std::deque<int> dialogAnswers;
    std::function<void(QDialog&)> onDialog;
};

}  // namespace kvu::test
