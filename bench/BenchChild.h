#pragma once

// Benchmarks of memory run in a fresh process of this program: memory that earlier benchmarks left to
// the allocator would otherwise be reused, and what a benchmark reports would depend on what ran before.
// The benchmark runs itself in the child (BenchChild::inChild() tells it that it is there) and the
// parent reports the child's time and counters as its own.

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>

#include <benchmark/benchmark.h>

namespace BenchChild {

inline constexpr char variable[] = "LYRAFOLD_BENCH_CHILD";

inline bool inChild()
{
    return qEnvironmentVariableIsSet(variable);
}

// For the registration: the iterations the benchmark runs in its child, one in the parent.
inline int iterations(int inTheChild)
{
    return inChild() ? inTheChild : 1;
}

// Runs the benchmark of that name (its family, every iteration it asks for) in a child process with
// the extra environment; one iteration of the parent. False, with the benchmark's error set, when the
// child failed or reported nothing.
inline bool run(benchmark::State &state, const QString &name, const QProcessEnvironment &extra = {})
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(variable), QStringLiteral("1"));
    environment.insert(extra);
    child.setProcessEnvironment(environment);
    child.setStandardErrorFile(QProcess::nullDevice());
    child.start(
        QCoreApplication::applicationFilePath(),
        {QStringLiteral("--benchmark_filter=^%1(/|$)").arg(name), QStringLiteral("--benchmark_format=json")});
    if (!child.waitForFinished(1800000) || child.exitStatus() != QProcess::NormalExit || child.exitCode()) {
        state.SkipWithError("the benchmark's process failed");
        return false;
    }
    const QJsonArray runs = QJsonDocument::fromJson(child.readAllStandardOutput())
                                .object()
                                .value(QStringLiteral("benchmarks"))
                                .toArray();
    const QJsonObject run = runs.isEmpty() ? QJsonObject() : runs.first().toObject();
    if (run.isEmpty() || run.value(QStringLiteral("error_occurred")).toBool()) {
        state.SkipWithError(run.isEmpty()
                                ? "the benchmark's process reported nothing"
                                : qPrintable(run.value(QStringLiteral("error_message")).toString()));
        return false;
    }
    static const QSet<QString> ownFields{
        QStringLiteral("family_index"), QStringLiteral("per_family_instance_index"),
        QStringLiteral("repetitions"),  QStringLiteral("repetition_index"),
        QStringLiteral("threads"),      QStringLiteral("iterations"),
        QStringLiteral("real_time"),    QStringLiteral("cpu_time")};
    for (auto field = run.constBegin(); field != run.constEnd(); ++field) {
        if (field.value().isDouble() && !ownFields.contains(field.key()))
            state.counters[field.key().toStdString()] = field.value().toDouble();
    }
    if (run.contains(QStringLiteral("label")))
        state.SetLabel(run.value(QStringLiteral("label")).toString().toStdString());
    const QString unit = run.value(QStringLiteral("time_unit")).toString();
    const double perSecond = unit == QLatin1String("ns")   ? 1e9
                             : unit == QLatin1String("us") ? 1e6
                             : unit == QLatin1String("ms") ? 1e3
                                                           : 1;
    state.SetIterationTime(run.value(QStringLiteral("real_time")).toDouble() / perSecond);
    return true;
}

} // namespace BenchChild
