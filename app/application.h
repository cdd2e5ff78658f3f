// The application object: creates the Qt application, keeps the program to one instance, runs
// the main window modally and releases the instance lock when it has closed.
#pragma once

#include <QApplication>
#include <memory>

#include "app/single_instance.h"
#include "ui/app_options.h"
#include "ui/qt_dialog_service.h"

class CKVUUtilityApp {
  public:
    CKVUUtilityApp(int& argc, char** argv, kvu::AppOptions options);
    ~CKVUUtilityApp();
    CKVUUtilityApp(const CKVUUtilityApp&) = delete;
    CKVUUtilityApp& operator=(const CKVUUtilityApp&) = delete;

    // The whole program: InitInstance, then ExitInstance; returns the process exit code.
    int run();

    // Instance check, then the main window until it closes. Always false: the program ends.
    bool InitInstance();
    // Releases the instance lock; returns the exit code.
    int ExitInstance();

  private:
    kvu::AppOptions m_options;
    std::unique_ptr<QApplication> m_app;
    kvu::QtDialogService m_dialogs;
    kvu::SingleInstance m_instance;
};
