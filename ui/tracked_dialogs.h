// Passes every dialog on to the program's dialog service and tells the window while one of them
// is open: their message loops keep the window's timer and notices running underneath.
#pragma once

#include <functional>
#include <utility>

#include "ui/dialog_service.h"

namespace kvu::ui {

class TrackedDialogs : public DialogService {
  public:
    // `opened` runs before a dialog is shown, `closed` once it has been closed.
    TrackedDialogs(DialogService& inner, std::function<void()> opened, std::function<void()> closed)
        : inner_(inner), opened_(std::move(opened)), closed_(std::move(closed)) {}

    void messageBox(QWidget* parent, const QString& text, Icon icon) override {
        const Open open(*this);
        inner_.messageBox(parent, text, icon);
    }
    int execDialog(QDialog& dialog) override {
        const Open open(*this);
        return inner_.execDialog(dialog);
    }
    FileDialogResult fileDialog(QWidget* parent, const FileDialogRequest& request) override {
        const Open open(*this);
        return inner_.fileDialog(parent, request);
    }

  private:
    class Open {
      public:
        explicit Open(TrackedDialogs& owner) : owner_(owner) { owner_.opened_(); }
        ~Open() { owner_.closed_(); }
        Open(const Open&) = delete;
        Open& operator=(const Open&) = delete;

      private:
        TrackedDialogs& owner_;
    };

    DialogService& inner_;
    std::function<void()> opened_;
    std::function<void()> closed_;
};

}  // namespace kvu::ui
