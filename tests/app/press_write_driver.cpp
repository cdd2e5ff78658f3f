// Linked into a test build of the program, in place of an operator: once the window shows
// "Connected", it presses Write, once. Nothing else of the program differs.
#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "ui/control_ids.h"

namespace {

constexpr int kPollMs = 50;

void pressWriteWhenConnected() {
    auto* poll = new QTimer(QCoreApplication::instance());
    poll->setInterval(kPollMs);
    QObject::connect(poll, &QTimer::timeout, poll, [poll] {
        const QString status = QString::number(kvu::ui::IDC_STATUS);
        const QString write = QString::number(kvu::ui::IDC_WRITE);
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* field = window->findChild<QLineEdit*>(status);
            auto* button = window->findChild<QPushButton*>(write);
            if (field != nullptr && button != nullptr && field->text() == "Connected" &&
                button->isEnabled()) {
                poll->stop();
                poll->deleteLater();
                button->click();
                return;
            }
        }
    });
    poll->start();
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(pressWriteWhenConnected)
