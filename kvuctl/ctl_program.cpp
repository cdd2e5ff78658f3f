#include "kvuctl/ctl_program.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>

#include <spdlog/spdlog.h>

#include <algorithm>
#include <cstdio>

#include "discovery/port_arrivals.h"
#include "kvuctl/audit_report.h"
#include "kvuctl/ctl_options.h"
#include "kvuctl/device_targets.h"
#include "kvuctl/device_work.h"
#include "kvuctl/exit_status.h"
#include "kvuctl/fleet_run.h"
#include "kvuctl/interrupts.h"
#include "kvuctl/progress_lines.h"
#include "kvuctl/result_output.h"
#include "kvuctl/station.h"
#include "logging/log_format.h"
#include "logging/log_setup.h"
#include "settings/entry_validation.h"
#include "settings/profile_fields.h"

namespace kvu::ctl {

namespace {

constexpr const char* kLogFile = "kvuctl_log.txt";

void print(std::FILE* stream, const QByteArray& text) {
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stream);
    std::fflush(stream);
}

int fail(int status, const QString& message) {
    print(stderr, ("kvuctl: " + message + u'\n').toUtf8());
    spdlog::error("kvuctl: {}", message);
    return status;
}

// The file's sections over empty profiles, checked by the window's rules: a bad file stops
// before any device is opened.
bool loadFile(Job& job, QString& error) {
    job.layer = presets::layPresetOver(job.options.file, job.options.wwanGroup, {});
    if (!job.layer.ok) {
        error = job.layer.error;
        return false;
    }
    if (const auto rejected =
            firstRejectedEntry(enteredTexts(asShownInWindow(job.layer.profiles)))) {
        error = QStringLiteral("%1: %2").arg(job.options.file,
                                             QString(rejected->message).replace(u'\n', ": "));
        return false;
    }
    return true;
}

int statusOf(const std::vector<DeviceRecord>& records) {
    // Ports named on the command line where nothing is plugged in: no device was found.
    if (!records.empty() && std::all_of(records.begin(), records.end(),
                                        [](const DeviceRecord& r) { return r.absent; })) {
        return kExitNoDevice;
    }
    for (const DeviceRecord& r : records) {
        if (r.verdict == Verdict::Failed || r.verdict == Verdict::Differs ||
            r.verdict == Verdict::Invalid) {
            return kExitFailed;
        }
    }
    return kExitOk;
}

// --no-query: the search alone, nothing opened.
int listPortsOnly(const CtlOptions& options, const std::vector<Target>& targets) {
    std::vector<DeviceRecord> records;
    for (const Target& target : targets) {
        DeviceRecord record;
        record.target = target;
        record.verdict = Verdict::Ok;
        records.push_back(record);
    }
    print(stdout,
          options.json ? jsonResults(options, records, kExitOk) : humanResults(options, records));
    return kExitOk;
}

AttachedList watchedPorts(const CtlOptions& options) {
    if (options.ports.isEmpty()) {
        return attachedKvus;
    }
    return [ports = options.ports] {
        std::vector<Target> present;
        for (const QString& port : ports) {
            if (QFileInfo::exists(port)) {
                present.push_back({port, {}});
            }
        }
        return present;
    };
}

int runStation(const Job& job, AuditReport* report) {
    int argc = 1;
    char name[] = "kvuctl";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    ProgressLines progress(stderr, false);
    Station station(job, watchedPorts(job.options), report, &progress);
    QObject::connect(&station, &Station::finished, &app, &QCoreApplication::quit);
    // A device is looked for the moment its port appears; the station's one-second look stays
    // the fallback (no device notices here, a path that cannot be watched).
    PortArrivals arrivals;
    if (job.options.ports.isEmpty()) {
        arrivals.watchDevices();
    } else {
        for (const QString& port : job.options.ports) {
            if (!arrivals.watchPath(port)) {
                spdlog::debug("kvuctl watch: {} cannot be watched, arrivals are polled", port);
            }
        }
    }
    QObject::connect(&arrivals, &PortArrivals::portMayHaveArrived, &station, &Station::scan);
    watchInterrupts([&station] { station.requestStop(); });
    print(stderr, QStringLiteral("kvuctl: waiting for devices; each new one gets %1 (Ctrl+C "
                                 "ends after the work in progress)\n")
                      .arg(job.options.file)
                      .toUtf8());
    station.start();
    app.exec();
    print(stderr, QStringLiteral("kvuctl: %1 provisioned, %2 failed\n")
                      .arg(station.succeeded())
                      .arg(station.failed())
                      .toUtf8());
    return station.exitStatus();
}

}  // namespace

int runProgram(int argc, char** argv) {
    const ParseOutcome parsed = parseCommandLine(argc, argv);
    if (!parsed.run) {
        print(stdout, QByteArray::fromStdString(parsed.out));
        print(stderr, QByteArray::fromStdString(parsed.err));
        return parsed.exitStatus;
    }
    Job job;
    job.options = parsed.options;
    const CtlOptions& options = job.options;
    if (options.command == Command::Watch) {
        blockInterrupts();
    }
    setupLogging(options.debugLog ? QStringLiteral("--log=DEBUG") : QString(),
                 QString::fromLatin1(kLogFile));
    // Options and file names only: no secret is ever given on the command line.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    spdlog::info("kvuctl {}", arguments.join(u' '));

    const bool needsFile = options.command == Command::Write || options.command == Command::Diff ||
                           options.command == Command::Watch;
    QString error;
    if (needsFile && !loadFile(job, error)) {
        return fail(kExitBadInput, error);
    }
    AuditReport report;
    if (!options.report.isEmpty() && !report.open(options.report, error)) {
        return fail(kExitBadInput, error);
    }
    AuditReport* reportSink = report.isOpen() ? &report : nullptr;

    if (options.command == Command::Watch) {
        return runStation(job, reportSink);
    }

    const Selection selection = selectTargets(options, attachedKvus);
    if (selection.exitStatus != 0) {
        return fail(selection.exitStatus, selection.error);
    }
    if (options.command == Command::List && options.noQuery) {
        return listPortsOnly(options, selection.targets);
    }
    if (options.command == Command::Read && !options.file.isEmpty() &&
        selection.targets.size() > 1 && !options.file.contains(QStringLiteral("{serial}"))) {
        return fail(kExitBadInput, QStringLiteral("%1 devices would all be read into %2; put "
                                                  "{serial} in the file name")
                                       .arg(selection.targets.size())
                                       .arg(options.file));
    }

    ProgressLines progress(stderr, ProgressLines::isTerminal(stderr));
    const bool quiet = options.command == Command::List;
    const std::vector<DeviceRecord> records =
        runFleet(job, selection.targets, quiet ? nullptr : &progress,
                 options.command == Command::List ? nullptr : reportSink);

    if (!options.serial.isEmpty() &&
        std::all_of(records.begin(), records.end(),
                    [](const DeviceRecord& r) { return r.verdict == Verdict::Skipped; })) {
        QStringList seen;
        for (const DeviceRecord& r : records) {
            if (!r.identity.serial.isEmpty()) {
                seen.append(QStringLiteral("%1 on %2").arg(r.identity.serial, r.target.port));
            }
        }
        return fail(kExitNoDevice,
                    QStringLiteral("no attached KVU has the serial %1 (found: %2)")
                        .arg(options.serial, seen.isEmpty() ? QStringLiteral("none")
                                                            : seen.join(QStringLiteral(", "))));
    }
    const int status = statusOf(records);
    print(stdout,
          options.json ? jsonResults(options, records, status) : humanResults(options, records));
    return status;
}

}  // namespace kvu::ctl
