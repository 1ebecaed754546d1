#pragma once

// Peak resident memory, as the kernel counts it (VmHWM), for the benchmarks that report `peak_mb`.

#include <QFile>
#include <QString>

#include <malloc.h>

#include <optional>

namespace PeakMemory {

// The named field of /proc/<pid>/status in MB (pid 0: this process), or nothing once it is gone.
inline std::optional<double> statusMegabytes(qint64 pid, const char *field)
{
    QFile status(pid ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return std::nullopt;
}

// What is resident now, of this process (pid 0) or another.
inline std::optional<double> residentMegabytes(qint64 pid = 0)
{
    return statusMegabytes(pid, "VmRSS:");
}

// The process's peak resident memory so far.
inline std::optional<double> peakMegabytes(qint64 pid)
{
    return statusMegabytes(pid, "VmHWM:");
}

// This process's peak from the moment it was made: the kernel's mark is put back to what is resident
// now (with the allocator's free memory handed back first, unless told not to), and the peak is told
// above that.
class Scope {
public:
    enum class Trim { first, no };
    explicit Scope(Trim trim = Trim::first)
    {
        // What earlier work freed would otherwise stay resident, and its reuse would not count. An
        // operation measured as the application meets it (after others that freed memory) keeps it.
        if (trim == Trim::first)
            malloc_trim(0);
        QFile reset(QStringLiteral("/proc/self/clear_refs"));
        if (reset.open(QIODevice::WriteOnly))
            reset.write("5");
        m_base = statusMegabytes(0, "VmRSS:").value_or(0);
    }
    double megabytes() const { return statusMegabytes(0, "VmHWM:").value_or(0) - m_base; }
    // What was resident when the scope began.
    double baseMegabytes() const { return m_base; }

private:
    double m_base = 0;
};

} // namespace PeakMemory
