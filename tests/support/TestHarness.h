#pragma once

#include <QCoreApplication>
#include <QString>
#include <QTest>

#include <chrono>
#include <functional>
#include <optional>

#include <sys/resource.h>

class LibrarySlots;

// Every test runs in a home of its own: HOME, the XDG folders, XDG_RUNTIME_DIR and TMPDIR point into
// a fresh temporary folder, so no test touches the user's files or another test's. The session and
// system bus addresses point there too (see sessionBusSocket() and systemBusSocket()).
namespace TestHarness {

// Call before the application object exists.
void isolate();

// The temporary home.
QString home();

// The session bus address every test sees: a socket in the temporary runtime folder, with no bus
// behind it unless the test starts one there.
QString sessionBusSocket();
QString systemBusSocket();

// How long a test waits for what it waits on (a signal, a file, a status, a window, a process) before it
// takes the wait for a hang. Never the length of the work waited for, which grows with what else the
// machine runs: a wait returns as soon as what it waits on comes, so a longer guard costs a green run
// nothing.
inline constexpr std::chrono::milliseconds hangGuard{30000};
// The same, for the Qt calls that take milliseconds as an int.
inline constexpr int hangGuardMs = int(hangGuard.count());

// Handles the events that are there; when there are none, waits for the next one, at most ms
// milliseconds. Unlike QTest::qWait, it does not sleep through events that come meanwhile.
void waitForEvents(int ms);

// Waits until done() holds, at most timeout: true when it does. Like QTest::qWaitFor, but done() is
// looked at after every pass of events rather than between pauses of 10 ms, and at least every few
// milliseconds for what no event tells; a test that has failed meanwhile waits no longer.
bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds timeout);

// Removes what earlier test functions left in the data, config and Documents folders.
void clearUserFiles();

// Before a test of the library: lets the saves still under way finish (they would land in this test's
// files), then clears the user's files (the trash included) and the home's Books folder.
void resetLibrary();

// Lets the work running on the global thread pool end and delivers what it posted back to the event
// loop, work that delivery starts included: after it, what a test waits not to see can no longer come.
void settleWorkers();

// Waits until the library holds the current slot's rows, which a window reads on a worker as it opens:
// false when they did not arrive within the hang guard.
bool waitForCurrentSlot(const LibrarySlots &librarySlots);
// Loads the current slot as the window does at start and waits until the library holds it: the status
// (empty when nothing was loaded), or nothing when it did not end within the hang guard.
std::optional<QString> loadCurrentSlot(LibrarySlots &librarySlots);
// Switches the library to slot, or reloads the current slot, and waits until the rows are there: the
// status, or nothing when no switch started (or none ended within the hang guard).
std::optional<QString> switchSlot(LibrarySlots &librarySlots, qint64 slot);
std::optional<QString> reloadSlot(LibrarySlots &librarySlots);

// Writes bytes to path, creating folders; fails the test when it cannot.
void writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

// A file of the test data the repository carries (tests/data), by its path below that folder. A missing
// file fails the test program with a message that names it: asked for by a test, at once (it throws
// MissingTestData, which ends the program cleanly: a test that went on without its book could wait
// forever on a dialog); asked for before the tests run (by a constant of the test file), before the
// first test.
QString testData(const QString &relativePath);
struct MissingTestData {};

// Prints every test data file found missing before the tests ran; false when there is one.
bool reportMissingTestData();

// The test program's arguments. With LYRAFOLD_TEST_PART="i/n" in the environment and no test function
// named, every n-th test function of test from the i-th on is named, so that CTest can run a long
// program in parts side by side.
//
// A data-driven test function too long for one part has its rows spread over the parts: the test class
// names it in its class info "rowsOverParts" (names separated by blanks), every part runs it, and its
// data function adds its rows with partRow() and partAddRow() instead of QTest::newRow() and
// QTest::addRow(), which keep every n-th row from the i-th on. It needs as many rows as parts at least.
QStringList testArguments(const QObject &test, int argc, char *argv[]);

// The number of parts the program runs in, 1 when it runs whole. A program of one test function that
// repeats a trial makes its share of the trials in each part.
int partCount();

// A row of a data function whose rows are spread over the parts: the row, or nothing in a part that
// does not run it.
class PartRow {
public:
    explicit PartRow(QTestData *row) : m_row(row) {}
    template <typename T> PartRow &operator<<(const T &value)
    {
        if (m_row)
            *m_row << value;
        return *this;
    }

private:
    QTestData *m_row;
};

PartRow partRow(const char *tag);
template <typename... Args> PartRow partAddRow(const char *format, Args... args)
{
    return partRow(QString::asprintf(format, args...).toUtf8().constData());
}

// While it lives, every write past limit bytes into one file fails as on a full disk (root is not
// spared, unlike with file permissions).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

} // namespace TestHarness

// The test program's main(): an isolated home, then the application object, then the tests. Tests that
// build widgets use LYRAFOLD_TEST_GUI_MAIN from TestHarnessGui.h. A program with a main() of its own
// (one that also runs as a child of itself) has LYRAFOLD_TEST_RUNNER define the same under another name.
#define LYRAFOLD_TEST_RUNNER(name, ApplicationClass, TestClass)                                              \
    int name(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        TestHarness::isolate();                                                                              \
        ApplicationClass app(argc, argv);                                                                    \
        TestClass test;                                                                                      \
        if (!TestHarness::reportMissingTestData())                                                           \
            return 1;                                                                                        \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        try {                                                                                                \
            return QTest::qExec(&test, TestHarness::testArguments(test, argc, argv));                        \
        } catch (const TestHarness::MissingTestData &) {                                                     \
            return 1;                                                                                        \
        }                                                                                                    \
    }

// What most tests wait for takes a few milliseconds, so these look at their condition after every pass
// of events (TestHarness::waitFor) where QtTest's QTRY_* look every 50 ms and sleep in between; then
// they check it as QVERIFY and QCOMPARE do, so that a timeout fails the test where it waited. The
// timeouts are in milliseconds, the hang guard unless given.
#define WAIT_VERIFY_WITH_TIMEOUT(expr, timeout)                                                              \
    do {                                                                                                     \
        TestHarness::waitFor([&]() -> bool { return bool(expr); }, std::chrono::milliseconds(timeout));      \
        QVERIFY(expr);                                                                                       \
    } while (false)
#define WAIT_VERIFY(expr) WAIT_VERIFY_WITH_TIMEOUT(expr, TestHarness::hangGuardMs)
#define WAIT_VERIFY2_WITH_TIMEOUT(expr, message, timeout)                                                    \
    do {                                                                                                     \
        TestHarness::waitFor([&]() -> bool { return bool(expr); }, std::chrono::milliseconds(timeout));      \
        QVERIFY2(expr, message);                                                                             \
    } while (false)
#define WAIT_VERIFY2(expr, message) WAIT_VERIFY2_WITH_TIMEOUT(expr, message, TestHarness::hangGuardMs)
#define WAIT_COMPARE_WITH_TIMEOUT(actual, expected, timeout)                                                 \
    do {                                                                                                     \
        TestHarness::waitFor([&]() -> bool { return (actual) == (expected); },                               \
                             std::chrono::milliseconds(timeout));                                            \
        QCOMPARE(actual, expected);                                                                          \
    } while (false)
#define WAIT_COMPARE(actual, expected) WAIT_COMPARE_WITH_TIMEOUT(actual, expected, TestHarness::hangGuardMs)

#define LYRAFOLD_TEST_MAIN_WITH(ApplicationClass, TestClass)                                                 \
    LYRAFOLD_TEST_RUNNER(main, ApplicationClass, TestClass)
#define LYRAFOLD_TEST_MAIN(TestClass) LYRAFOLD_TEST_MAIN_WITH(QCoreApplication, TestClass)
