// lyrafold-bench: timings of the work the interface waits for. Runs in a private temporary home so
// that it never touches the user's files.

#include "TestHarness.h"
#include "core/common/MemoryTrim.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

int main(int argc, char **argv)
{
    // The allocator as the application sets it up.
    MemoryTrim::configureAllocator();
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/lyrafold-bench-XXXXXX"));
    if (!home.isValid())
        return 1;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
    // The viewer's benchmarks build widgets; without a display they draw offscreen.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!TestHarness::reportMissingTestData())
        return 1;

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
