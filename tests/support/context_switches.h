// Context switches of a process's threads as Linux counts them (voluntary and involuntary, from
// /proc/<pid>/task/<tid>/status): every one is a wake-up of that thread.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#include <map>

namespace kvu::test {

// Switches so far of one thread; -1 when it is gone.
inline long long threadSwitches(const QString& taskDir) {
    QFile status(taskDir + QStringLiteral("/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    long long total = 0;
    bool seen = false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("voluntary_ctxt_switches:") ||
            line.startsWith("nonvoluntary_ctxt_switches:")) {
            total += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
            seen = true;
        }
    }
    return seen ? total : -1;
}

// Thread id to its switches so far, for every thread of the process ("self" for this one).
inline std::map<long long, long long> switchesByThread(const QString& pid) {
    std::map<long long, long long> out;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString& tid : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const long long n = threadSwitches(tasks + QLatin1Char('/') + tid);
        if (n >= 0)
            out[tid.toLongLong()] = n;
    }
    return out;
}

// Switches between two readings, summed over the threads of the second; one born in between
// counts from its start, one that ended in between is lost.
inline long long switchesBetween(const std::map<long long, long long>& before,
                                 const std::map<long long, long long>& after) {
    long long total = 0;
    for (const auto& [tid, n] : after) {
        const auto it = before.find(tid);
        total += it == before.end() ? n : n - it->second;
    }
    return total;
}

}  // namespace kvu::test
