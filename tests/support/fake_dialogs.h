// A dialog service for tests: records every message box, helper dialog and file dialog request
// instead of showing it, and answers helper dialogs (Accepted when their queue is empty) and
// file dialogs (cancelled when their queue is empty) from queues. The on... hooks run while the
// dialog counts as open; one that waits with QTest::qWaitFor plays the dialog's message loop.
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
        if (onMessage) {
            onMessage(text);
        }
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

    // A scripted answer's check states are what the operator changed: buttons it does not name
    // keep the state the request gave them, as in the real dialog.
    kvu::FileDialogResult fileDialog(QWidget* /*parent*/,
                                     const kvu::FileDialogRequest& request) override {
        fileRequests.push_back(request);
        if (onFileDialog) {
            onFileDialog(request);
        }
        if (fileAnswers.empty()) {
            return {};
        }
        kvu::FileDialogResult answer = fileAnswers.front();
        fileAnswers.pop_front();
        if (!answer.accepted) {
            return {};
        }
        for (const kvu::FileDialogRequest::CheckButton& button : request.checkButtons) {
            answer.checkStates.try_emplace(button.id, button.checked);
        }
        return answer;
    }

    std::vector<Message> messages;
    std::vector<Dialog> dialogs;
    std::deque<int> dialogAnswers;
    std::function<void(QDialog&)> onDialog;
    std::function<void(const QString&)> onMessage;
    std::function<void(const kvu::FileDialogRequest&)> onFileDialog;
    std::vector<kvu::FileDialogRequest> fileRequests;
    std::deque<kvu::FileDialogResult> fileAnswers;
};

}  // namespace kvu::test
