#pragma once

// What the benchmarks measure besides wall time: the calling thread's CPU time (the interface thread's
// own work, not the time it sleeps while workers run) and the process's peak resident memory.

#include <QFile>

#include <ctime>

namespace BenchMeasure {

inline double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The peak resident memory since the start or the last resetPeakMb(), in MB.
inline double peakMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// The peak starts again from the memory in use now.
inline void resetPeakMb()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

} // namespace BenchMeasure
