#include "app/application.h"

#include <cstdio>
#include <utility>

#include "app/restart_support.h"
#include "app/simulated_port.h"
#include "ui/main_dialog.h"

CKVUUtilityApp::CKVUUtilityApp(int& argc, char** argv, kvu::AppOptions options)
    : m_options(std::move(options)) {
    kvu::registerRestartSupport();
    m_app = std::make_unique<QApplication>(argc, argv);
}

CKVUUtilityApp::~CKVUUtilityApp() {
    m_instance.release();
}

int CKVUUtilityApp::run() {
    InitInstance();
    return ExitInstance();
}

bool CKVUUtilityApp::InitInstance() {
    switch (m_instance.acquire()) {
        case kvu::SingleInstance::State::AlreadyRunning:
            // No window and no log: the log belongs to the instance that is running.
            m_dialogs.messageBox(nullptr, QStringLiteral("Application already running."),
                                 kvu::DialogService::Icon::Warning);
            return false;
        case kvu::SingleInstance::State::Unavailable:
            std::fprintf(stderr, "KVUUtility: running without the single-instance lock: %s\n",
                         m_instance.error().c_str());
            break;
        case kvu::SingleInstance::State::Acquired:
            break;
    }
    // Outlives the window, which talks to it until it closes.
    kvu::SimulatedPort simulated;
    kvu::PortFinder finder;
    if (m_options.simulate) {
        QString error;
        if (!simulated.start(error)) {
            m_dialogs.messageBox(
                nullptr, QStringLiteral("The simulated device could not start: %1").arg(error),
                kvu::DialogService::Icon::Error);
            return false;
        }
        finder = simulated.finder();
    }
    {
        CKVUUtilityDlg dialog(m_options, m_dialogs, nullptr, finder);
        dialog.exec();
    }
    return false;
}

int CKVUUtilityApp::ExitInstance() {
    m_instance.release();
    return 0;
}
