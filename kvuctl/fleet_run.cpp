#include "kvuctl/fleet_run.h"

#include <thread>

#include "discovery/port_finders.h"

namespace kvu::ctl {

QString operationName(Command command) {
    switch (command) {
        case Command::List:
            return QStringLiteral("list");
        case Command::Show:
            return QStringLiteral("show");
        case Command::Read:
            return QStringLiteral("read");
        case Command::Write:
            return QStringLiteral("write");
        case Command::Diff:
            return QStringLiteral("diff");
        case Command::Erase:
            return QStringLiteral("erase");
        case Command::Watch:
            return QStringLiteral("watch write");
    }
    return {};
}

std::vector<DeviceRecord> runFleet(const Job& job, const std::vector<Target>& targets,
                                   const FleetFollowers& followers) {
    ProgressLines* progress = followers.progress;
    std::vector<DeviceRecord> records(targets.size());
    std::vector<int> rows(targets.size(), -1);
    std::vector<int> entries(targets.size(), -1);
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (progress != nullptr) {
            rows[i] = progress->add(targets[i].port);
        }
        if (followers.ledger != nullptr) {
            entries[i] = followers.ledger->add(targets[i]);
        }
    }
    const QStringList serials = job.options.serials;
    const bool reportsAtEnd = job.options.command != Command::Read || job.options.file.isEmpty();

    std::vector<std::thread> threads;
    threads.reserve(targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i) {
        threads.emplace_back([&, i] {
            DeviceHooks hooks;
            hooks.notice = [&, i](const QString& step) {
                if (progress != nullptr) {
                    progress->step(rows[i], step);
                }
            };
            hooks.filter = [&serials](DeviceRecord& connected) {
                return serials.isEmpty() || serials.contains(connected.identity.serial);
            };
            hooks.stopRequested = followers.stopRequested;
            if (followers.ledger != nullptr) {
                hooks.moved = [&, i](const DeviceRecord& sofar) {
                    followers.ledger->moved(entries[i], sofar);
                };
            }
            ConnectionSupervisor link(fixedPortFinder(targets[i].port));
            DeviceRecord record = runDeviceJob(job, targets[i], link, hooks);
            link.disconnect();
            if (progress != nullptr) {
                if (!record.identity.serial.isEmpty()) {
                    progress->relabel(rows[i], QStringLiteral("%1 %2").arg(targets[i].port,
                                                                           record.identity.serial));
                }
                progress->step(rows[i], verdictName(record.verdict));
            }
            // An abandoned run has written this device's record already.
            const bool own =
                followers.ledger == nullptr || followers.ledger->finished(entries[i], record);
            if (own && reportsAtEnd && followers.report != nullptr &&
                record.verdict != Verdict::Skipped) {
                followers.report->append(operationName(job.options.command), job.options.file,
                                         record);
            }
            records[i] = std::move(record);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return records;
}

}  // namespace kvu::ctl
