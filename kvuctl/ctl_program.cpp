#include "kvuctl/ctl_program.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <spdlog/spdlog.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>

#include "discovery/port_arrivals.h"
#include "discovery/port_finders.h"
#include "kvuctl/audit_report.h"
#include "kvuctl/backup_files.h"
#include "kvuctl/ctl_options.h"
#include "kvuctl/device_targets.h"
#include "kvuctl/device_work.h"
#include "kvuctl/exit_status.h"
#include "kvuctl/fleet_run.h"
#include "kvuctl/interrupts.h"
#include "kvuctl/output_stream.h"
#include "kvuctl/preset_checks.h"
#include "kvuctl/progress_lines.h"
#include "kvuctl/result_output.h"
#include "kvuctl/serial_choice.h"
#include "kvuctl/station.h"
#include "kvuctl/work_ledger.h"
#include "logging/log_format.h"
#include "logging/log_setup.h"
#include "settings/entry_validation.h"
#include "settings/profile_fields.h"

namespace kvu::ctl {

namespace {

constexpr const char* kLogFile = "kvuctl_log.txt";

// What a fleet run shares with the signal watcher thread.
struct RunState {
    WorkLedger ledger;
    std::atomic<int> interrupted{0};
    std::mutex outputMutex;
    bool outputDone = false;  // the results went out; a second interrupt has nothing to add
};

// The station as the signal watcher may reach it: not once it is gone.
struct StationGate {
    std::mutex mutex;
    Station* station = nullptr;
};

int fail(int status, const QString& message) {
    writeErr(("kvuctl: " + message + u'\n').toUtf8());
    spdlog::error("kvuctl: {}", message);
    return status;
}

// The file's sections over empty profiles, checked by the window's rules: a bad file stops
// before any device is opened. diff compares what it is given, a device's own read-back too.
bool loadFile(Job& job, QString& error) {
    QFile raw(job.options.file);
    if (raw.open(QIODevice::ReadOnly)) {
        if (const auto problem =
                presetBytesProblem(job.options.file, raw.read(kMaxPresetBytes + 1))) {
            error = *problem;
            return false;
        }
    }
    job.layer = presets::layPresetOver(job.options.file, job.options.wwanGroup, {});
    if (!job.layer.ok) {
        error = job.layer.error;
        return false;
    }
    if (job.options.command == Command::Diff) {
        return true;
    }
    if (const auto masked = maskedSecretProblem(job.options.file, job.layer)) {
        error = *masked;
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

// The results on standard output and what became of the report: a lost result fails the run.
int emitResults(const CtlOptions& options, const std::vector<DeviceRecord>& records, int status,
                const AuditReport* report) {
    QString error;
    const QByteArray text =
        options.json ? jsonResults(options, records, status) : humanResults(options, records);
    bool lost = !writeOut(text, error);
    if (lost) {
        fail(kExitFailed, QStringLiteral("the results could not be written: %1").arg(error));
    }
    if (report != nullptr && !report->failure().isEmpty()) {
        fail(kExitFailed, report->failure());
        lost = true;
    }
    return lost && status == kExitOk ? kExitFailed : status;
}

// read -o: every device was read; each gets its own file, or none is written.
bool saveBackups(const Job& job, std::vector<DeviceRecord>& records, AuditReport* report,
                 QString& error) {
    if (const auto shared = sharedFileProblem(job.options.file, records)) {
        error = *shared;
        return false;
    }
    for (DeviceRecord& r : records) {
        if (r.verdict == Verdict::Ok) {
            r.step = QStringLiteral("save");
            r.file = fileForDevice(job.options.file, r);
            QString saveError;
            if (!saveBackup(r.file, job.options.wwanGroup, r.profiles, saveError)) {
                r.verdict = Verdict::Failed;
                r.error = saveError;
            }
        }
        if (report != nullptr && r.verdict != Verdict::Skipped) {
            report->append(operationName(Command::Read), job.options.file, r);
        }
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
            r.verdict == Verdict::Invalid || r.verdict == Verdict::NotStarted ||
            r.verdict == Verdict::Interrupted) {
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
    return emitResults(options, records, kExitOk, nullptr);
}

AttachedList watchedPorts(const CtlOptions& options) {
    if (options.ports.isEmpty()) {
        return attachedKvus;
    }
    return [ports = options.ports] {
        std::vector<Target> present;
        for (const QString& port : ports) {
            if (portMayBePresent(port)) {
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
    const auto gate = std::make_shared<StationGate>();
    gate->station = &station;
    watchInterrupts(
        [gate](int) {
            std::lock_guard lock(gate->mutex);
            if (gate->station != nullptr) {
                writeErr(
                    "kvuctl: interrupted: the work in progress ends, no device is begun (interrupt "
                    "again to abandon it)\n");
                gate->station->requestStop();
            }
        },
        [gate](int) {
            std::lock_guard lock(gate->mutex);
            if (gate->station != nullptr) {
                gate->station->abandon();
            }
            spdlog::default_logger()->flush();
        });
    writeErr(QStringLiteral("kvuctl: waiting for devices; each new one gets %1 (Ctrl+C "
                            "ends after the work in progress)\n")
                 .arg(job.options.file)
                 .toUtf8());
    station.start();
    app.exec();
    const QString left = station.notStarted() > 0
                             ? QStringLiteral(", %1 not started").arg(station.notStarted())
                             : QString();
    writeErr(QStringLiteral("kvuctl: %1 provisioned, %2 failed%3\n")
                 .arg(station.succeeded())
                 .arg(station.failed())
                 .arg(left)
                 .toUtf8());
    const int status = station.exitStatus();
    {
        std::lock_guard lock(gate->mutex);
        gate->station = nullptr;
    }
    interruptsSettled();
    return status;
}

}  // namespace

int runProgram(int argc, char** argv) {
    guardStandardStreams();
    const ParseOutcome parsed = parseCommandLine(argc, argv);
    if (!parsed.run) {
        QString ignored;
        writeOut(QByteArray::fromStdString(parsed.out), ignored);
        writeErr(QByteArray::fromStdString(parsed.err));
        return parsed.exitStatus;
    }
    Job job;
    job.options = parsed.options;
    const CtlOptions& options = job.options;
    blockInterrupts();
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

    Selection selection = selectTargets(options, attachedKvus);
    if (selection.exitStatus != 0) {
        return fail(selection.exitStatus, selection.error);
    }
    // --serial among the attached: the others are asked who they are, nothing more.
    std::vector<DeviceRecord> leftAlone;
    if (!options.serials.isEmpty() && options.ports.isEmpty() && options.command != Command::List) {
        SerialChoice choice = chooseBySerial(selection.targets, options.serials);
        for (const QString& note : choice.notes) {
            writeErr(("kvuctl: " + note + u'\n').toUtf8());
        }
        selection.targets = std::move(choice.chosen);
        leftAlone = std::move(choice.left);
    }
    if (options.command == Command::List && options.noQuery) {
        return listPortsOnly(options, selection.targets);
    }
    // --serial chooses first: the others are no reason to refuse.
    if (options.command == Command::Read && !options.file.isEmpty() &&
        selection.targets.size() > 1 && !hasDevicePlaceholder(options.file)) {
        return fail(kExitBadInput, QStringLiteral("%1 devices would all be read into %2; put "
                                                  "{serial}, {port} or {location} in the file "
                                                  "name")
                                       .arg(selection.targets.size())
                                       .arg(options.file));
    }

    // The first interrupt lets each device finish the step it is in; a second one records where
    // each unfinished device stands and ends the run.
    // Shared with the signal watcher, which outlives this frame.
    const auto state = std::make_shared<RunState>();
    const bool quiet = options.command == Command::List;
    AuditReport* fleetReport = options.command == Command::List ? nullptr : reportSink;
    watchInterrupts(
        [state](int signo) {
            state->interrupted = signo;
            writeErr(
                "kvuctl: interrupted: each device finishes the step it is in, none begins "
                "another (interrupt again to abandon them)\n");
        },
        [state, options, fleetReport](int signo) {
            std::lock_guard lock(state->outputMutex);
            if (state->outputDone) {
                return;
            }
            for (const DeviceRecord& cut : state->ledger.abandonUnfinished()) {
                if (fleetReport != nullptr) {
                    fleetReport->append(operationName(options.command), options.file, cut);
                }
            }
            spdlog::error("kvuctl: abandoned at a second interrupt");
            emitResults(options, state->ledger.records(), 128 + signo, fleetReport);
            state->outputDone = true;
            spdlog::default_logger()->flush();
        });

    ProgressLines progress(stderr, ProgressLines::isTerminal(stderr));
    FleetFollowers followers;
    followers.progress = quiet ? nullptr : &progress;
    followers.report = fleetReport;
    followers.ledger = &state->ledger;
    followers.stopRequested = [state] { return state->interrupted.load() != 0; };
    std::vector<DeviceRecord> records = runFleet(job, selection.targets, followers);
    records.insert(records.end(), leftAlone.begin(), leftAlone.end());

    std::lock_guard lock(state->outputMutex);
    if (state->outputDone) {
        return 128 + state->interrupted.load();
    }
    state->outputDone = true;
    if (options.command == Command::Read && !options.file.isEmpty() &&
        !saveBackups(job, records, reportSink, error)) {
        interruptsSettled();
        return fail(kExitBadInput, error);
    }
    if (!options.serials.isEmpty() &&
        std::all_of(records.begin(), records.end(),
                    [](const DeviceRecord& r) { return r.verdict == Verdict::Skipped; })) {
        QStringList seen;
        for (const DeviceRecord& r : records) {
            if (!r.identity.serial.isEmpty()) {
                seen.append(QStringLiteral("%1 on %2").arg(r.identity.serial, r.target.port));
            }
        }
        interruptsSettled();
        return fail(kExitNoDevice, QStringLiteral("no attached KVU has the serial %1 (found: %2)")
                                       .arg(options.serials.join(QStringLiteral(", ")),
                                            seen.isEmpty() ? QStringLiteral("none")
                                                           : seen.join(QStringLiteral(", "))));
    }
    const int signo = state->interrupted.load();
    const int status =
        emitResults(options, records, signo != 0 ? 128 + signo : statusOf(records), fleetReport);
    interruptsSettled();
    return status;
}

}  // namespace kvu::ctl
