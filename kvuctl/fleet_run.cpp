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
                                   ProgressLines* progress, AuditReport* report) {
    std::vector<DeviceRecord> records(targets.size());
    std::vector<int> rows(targets.size(), -1);
    if (progress != nullptr) {
        for (std::size_t i = 0; i < targets.size(); ++i) {
            rows[i] = progress->add(targets[i].port);
        }
    }
    const QString serial = job.options.serial;
    const DeviceFilter filter = [&serial](const DeviceRecord& connected) {
        return serial.isEmpty() || connected.identity.serial == serial;
    };

    std::vector<std::thread> threads;
    threads.reserve(targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i) {
        threads.emplace_back([&, i] {
            const StepNotice notice = [&, i](const QString& step) {
                if (progress != nullptr) {
                    progress->step(rows[i], step);
                }
            };
            ConnectionSupervisor link(fixedPortFinder(targets[i].port));
            DeviceRecord record = runDeviceJob(job, targets[i], notice, link, filter);
            link.disconnect();
            if (progress != nullptr) {
                if (!record.identity.serial.isEmpty()) {
                    progress->relabel(rows[i], QStringLiteral("%1 %2").arg(targets[i].port,
                                                                           record.identity.serial));
                }
                progress->step(rows[i], verdictName(record.verdict));
            }
            if (report != nullptr && record.verdict != Verdict::Skipped) {
                report->append(operationName(job.options.command), job.options.file, record);
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
