#include "kvuctl/device_targets.h"

#include <QFileInfo>
#include <QSet>
#include <QStringList>

#include "discovery/com_list.h"
#include "kvuctl/exit_status.h"

namespace kvu::ctl {

// The same device named twice (a link and its target) would be refused as busy by ourselves.
QString portIdentity(const QString& port) {
    const QString canonical = QFileInfo(port).canonicalFilePath();
    return canonical.isEmpty() ? port : canonical;
}

std::vector<Target> attachedKvus() {
    std::vector<KvuPort> found;
#ifdef _WIN32
    found = KvuPortList::list();
#else
    const QString sysRoot = qEnvironmentVariable("KVU_SYSFS_ROOT");
    const QString devRoot = qEnvironmentVariable("KVU_DEV_ROOT");
    found = sysRoot.isEmpty() && devRoot.isEmpty()
                ? KvuPortList::list()
                : KvuPortList::list(sysRoot.isEmpty() ? QStringLiteral("/sys") : sysRoot,
                                    devRoot.isEmpty() ? QStringLiteral("/dev") : devRoot);
#endif
    std::vector<Target> targets;
    for (const KvuPort& port : found) {
        targets.push_back({port.port, port.location});
    }
    return targets;
}

QString portList(const std::vector<Target>& targets) {
    QStringList names;
    for (const Target& target : targets) {
        names.append(target.location.isEmpty()
                         ? target.port
                         : QStringLiteral("%1 (%2)").arg(target.port, target.location));
    }
    return names.join(QStringLiteral(", "));
}

Selection selectTargets(const CtlOptions& options, const AttachedList& attached) {
    Selection selection;
    selection.requiredSerials = options.serials;
    if (!options.ports.isEmpty()) {
        std::vector<Target> known = attached ? attached() : std::vector<Target>{};
        QSet<QString> seen;
        for (const QString& port : options.ports) {
            const QString id = portIdentity(port);
            if (seen.contains(id)) {
                continue;
            }
            seen.insert(id);
            Target target{port, {}};
            for (const Target& k : known) {
                if (portIdentity(k.port) == id) {
                    target.location = k.location;
                }
            }
            selection.targets.push_back(target);
        }
        return selection;
    }

    selection.targets = attached ? attached() : std::vector<Target>{};
    if (selection.targets.empty()) {
        selection.exitStatus = kExitNoDevice;
        selection.error = QStringLiteral(
            "no KVU found. Is it plugged in? (A port that exists but cannot be opened is no "
            "reason for this: name it with --port to see why.)");
        return selection;
    }
    const bool chooseAll = options.all || !options.serials.isEmpty() ||
                           options.command == Command::List || options.command == Command::Watch;
    if (!chooseAll && selection.targets.size() > 1) {
        selection.exitStatus = kExitBadInput;
        selection.error = QStringLiteral(
                              "%1 KVUs are attached: %2. Choose with --port, "
                              "--serial or --all.")
                              .arg(selection.targets.size())
                              .arg(portList(selection.targets));
        selection.targets.clear();
    }
    return selection;
}

}  // namespace kvu::ctl
