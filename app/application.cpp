#include "app/application.h"

#include <QObject>
#ifdef Q_OS_WIN
#include <QWinEventNotifier>
#else
#include <QSocketNotifier>
#endif

#include <spdlog/spdlog.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "app/restart_support.h"
#include "app/simulated_port.h"
#include "app/stop_signals.h"
#include "discovery/port_arrivals.h"
#include "ui/main_dialog.h"

namespace {

// A stop request from outside ends the window as File > Exit does.
class StopWatch {
  public:
    StopWatch(kvu::StopSignals& stops, CKVUUtilityDlg& dialog) {
        auto onRequest = [&stops, &dialog] {
            const std::string what = stops.take();
            if (!what.empty()) {
                spdlog::info("{} {}", "CKVUUtilityApp: stop requested by", what);
                dialog.requestExit();
            }
        };
#ifdef Q_OS_WIN
        notifier_ =
            std::make_unique<QWinEventNotifier>(reinterpret_cast<Qt::HANDLE>(stops.waitable()));
        QObject::connect(notifier_.get(), &QWinEventNotifier::activated, &dialog, onRequest);
#else
        notifier_ = std::make_unique<QSocketNotifier>(static_cast<qintptr>(stops.waitable()),
                                                      QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, &dialog, onRequest);
#endif
    }

  private:
#ifdef Q_OS_WIN
    std::unique_ptr<QWinEventNotifier> notifier_;
#else
    std::unique_ptr<QSocketNotifier> notifier_;
#endif
};

// Where the window hears of a port's arrival: a watch on the folder of --port, else the system's
// device notices. On Windows the window gets the device broadcasts itself; the simulated device
// is there from the start. Without either the timer alone finds the port.
void watchArrivals(kvu::PortArrivals& arrivals, const kvu::AppOptions& options) {
#ifdef Q_OS_WIN
    (void)arrivals;
    (void)options;
#else
    if (options.simulate) {
        return;
    }
    if (options.port.isEmpty()) {
        arrivals.watchDevices();
    } else if (!arrivals.watchPath(options.port)) {
        spdlog::debug("{} {} cannot be watched, arrivals are polled",
                      "CKVUUtilityApp::InitInstance", options.port.toStdString());
    }
#endif
}

}  // namespace

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
    // From here on a termination signal is a request to the window, not the end of the process.
    kvu::StopSignals stops;
    std::string stopError;
    const bool watching = stops.install(stopError);
    if (!watching) {
        std::fprintf(stderr, "KVUUtility: stop signals are not handled: %s\n", stopError.c_str());
    }
    {
        CKVUUtilityDlg dialog(m_options, m_dialogs, nullptr, finder);
        kvu::PortArrivals arrivals;
        watchArrivals(arrivals, m_options);
        dialog.followArrivals(arrivals);
        std::unique_ptr<StopWatch> watch;
        if (watching) {
            watch = std::make_unique<StopWatch>(stops, dialog);
        }
        dialog.exec();
    }
    // The window has closed the port; what is still buffered of the log goes out now.
    if (const auto logger = spdlog::default_logger()) {
        logger->flush();
    }
    stops.finished();
    return false;
}

int CKVUUtilityApp::ExitInstance() {
    m_instance.release();
    return 0;
}
