#include "TestHarness.h"

#include "core/session/LibrarySession.h"
#include "core/slots/LibrarySlots.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMetaMethod>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <utility>

#include <unistd.h>

namespace {

std::unique_ptr<QTemporaryDir> &homeDir()
{
    static std::unique_ptr<QTemporaryDir> dir;
    return dir;
}

QStringList &missingBeforeTests()
{
    static QStringList missing;
    return missing;
}

void setPath(const char *variable, const QString &path, bool create = true)
{
    if (create)
        QDir().mkpath(path);
    qputenv(variable, QFile::encodeName(path));
}

// Removes the homes of test programs that ended without removing theirs (killed at a timeout,
// crashed): each home's name carries its program's process id.
void removeHomesOfEndedTests()
{
    static const QRegularExpression name(QStringLiteral("^lyrafold-test-(\\d+)-"));
    const QFileInfoList entries =
        QDir(QDir::tempPath())
            .entryInfoList({QStringLiteral("lyrafold-test-*")}, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QRegularExpressionMatch match = name.match(entry.fileName());
        if (match.hasMatch() && !entry.isSymLink() && entry.ownerId() == ::getuid() &&
            !QFileInfo::exists(QStringLiteral("/proc/") + match.captured(1)))
            QDir(entry.filePath()).removeRecursively();
    }
}

} // namespace

namespace TestHarness {

void isolate()
{
    removeHomesOfEndedTests();
    homeDir() = std::make_unique<QTemporaryDir>(
        QDir::tempPath() +
        QStringLiteral("/lyrafold-test-%1-XXXXXX").arg(QCoreApplication::applicationPid()));
    if (!homeDir()->isValid())
        qFatal("cannot create a temporary home for the tests");
    const QString root = homeDir()->path();
    setPath("HOME", root);
    setPath("XDG_DATA_HOME", root + QStringLiteral("/.local/share"));
    setPath("XDG_CONFIG_HOME", root + QStringLiteral("/.config"));
    setPath("XDG_CACHE_HOME", root + QStringLiteral("/.cache"));
    setPath("XDG_STATE_HOME", root + QStringLiteral("/.local/state"));
    setPath("XDG_RUNTIME_DIR", root + QStringLiteral("/runtime"));
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    setPath("TMPDIR", root + QStringLiteral("/tmp"));
    // The Documents folder follows HOME once no user-dirs file names another one.
    qunsetenv("XDG_DOCUMENTS_DIR");
    // No test talks to the user's session bus (a file manager or a mailer could open). The address
    // names a socket in the temporary runtime folder, where a test may start a bus of its own.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(root) + "/runtime/bus");
    // Nor to the system bus (a sleep inhibitor would hold the user's machine awake).
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + QFile::encodeName(root) + "/runtime/system-bus");
}

QString home()
{
    return homeDir()->path();
}

QString sessionBusSocket()
{
    return home() + QStringLiteral("/runtime/bus");
}

QString systemBusSocket()
{
    return home() + QStringLiteral("/runtime/system-bus");
}

void clearUserFiles()
{
    for (const char *sub : {"/.local/share", "/.config", "/Documents"}) {
        QDir dir(home() + QString::fromLatin1(sub));
        dir.removeRecursively();
    }
    QDir().mkpath(home() + QStringLiteral("/.local/share"));
    QDir().mkpath(home() + QStringLiteral("/.config"));
}

void resetLibrary()
{
    LibrarySession::waitForPendingSaves();
    clearUserFiles();
    QDir(home() + QStringLiteral("/Books")).removeRecursively();
}

void waitForEvents(int ms)
{
    QTimer wake; // wakes the wait when no event comes
    wake.setSingleShot(true);
    wake.start(ms);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    if (done())
        return true;
    const QDeadlineTimer deadline(timeout, Qt::PreciseTimer);
    do {
        waitForEvents(2);
        if (done())
            return true;
    } while (!deadline.hasExpired() && !(QTest::runningTest() && QTest::currentTestFailed()));
    return done();
}

void settleWorkers()
{
    // A few rounds: a delivery may start more work, as a search's first pass starts the full one.
    for (int round = 0; round < 4; ++round) {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

namespace {

std::optional<QString> waitForLoad(const std::function<bool(LibrarySlots::LoadDone)> &start)
{
    auto status = std::make_shared<std::optional<QString>>();
    if (!start([status](const QString &text) { *status = text; }))
        return std::nullopt;
    if (!waitFor([&] { return status->has_value(); }, hangGuard))
        return std::nullopt;
    return *status;
}

} // namespace

std::optional<QString> switchSlot(LibrarySlots &librarySlots, qint64 slot)
{
    return waitForLoad(
        [&](LibrarySlots::LoadDone done) { return librarySlots.switchToSlot(slot, &librarySlots, done); });
}

bool waitForCurrentSlot(const LibrarySlots &librarySlots)
{
    return waitFor([&] { return librarySlots.currentSlotRead(); }, hangGuard);
}

std::optional<QString> loadCurrentSlot(LibrarySlots &librarySlots)
{
    return waitForLoad([&](LibrarySlots::LoadDone done) {
        librarySlots.loadCurrentSlot(
            &librarySlots, [done](const LibrarySlots::LoadResult &loaded) { done(loaded.statusText); });
        return true;
    });
}

std::optional<QString> reloadSlot(LibrarySlots &librarySlots)
{
    return waitForLoad([&](LibrarySlots::LoadDone done) {
        librarySlots.reloadCurrentSlot(&librarySlots, done);
        return true;
    });
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write test file %s", qPrintable(path));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString testData(const QString &relativePath)
{
    const QString path = QStringLiteral(LYRAFOLD_TESTDATA_DIR "/") + relativePath;
    if (QFileInfo(path).isFile())
        return path;
    const QString message =
        QStringLiteral("missing test data: %1 (tests/data/SOURCES.md names its source)").arg(path);
    if (QTest::currentTestFunction()) {
        QTest::qFail(qPrintable(message), __FILE__, __LINE__);
        throw MissingTestData();
    }
    if (!missingBeforeTests().contains(message))
        missingBeforeTests().append(message);
    return path;
}

bool reportMissingTestData()
{
    for (const QString &message : std::as_const(missingBeforeTests()))
        std::fprintf(stderr, "FAIL!  : %s\n", qPrintable(message));
    return missingBeforeTests().isEmpty();
}

namespace {

// The part this run of the program is, when it runs in parts, and the rows each data function has
// offered so far.
struct Part {
    int index = 0;
    int count = 1;
    QHash<QByteArray, int> rowsOffered;
};

Part &thisPart()
{
    static Part instance;
    return instance;
}

} // namespace

PartRow partRow(const char *tag)
{
    Part &p = thisPart();
    const bool ours = p.rowsOffered[QByteArray(QTest::currentTestFunction())]++ % p.count == p.index;
    return PartRow(ours ? &QTest::newRow(tag) : nullptr);
}

namespace {

// LYRAFOLD_TEST_PART's index and count.
std::optional<std::pair<int, int>> partFromEnvironment()
{
    const QList<QByteArray> part = qgetenv("LYRAFOLD_TEST_PART").split('/');
    bool indexRead = false, countRead = false;
    const int index = part.size() == 2 ? part[0].toInt(&indexRead) : 0;
    const int count = part.size() == 2 ? part[1].toInt(&countRead) : 0;
    if (!indexRead || !countRead || count < 1 || index < 0 || index >= count)
        return std::nullopt;
    return std::pair(index, count);
}

} // namespace

int partCount()
{
    const auto part = partFromEnvironment();
    return part ? part->second : 1;
}

QStringList testArguments(const QObject &test, int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const auto part = partFromEnvironment();
    if (argc > 1 || !part)
        return arguments;
    const auto [index, count] = *part;
    // The test functions as QtTest finds them: private slots without arguments, other than the
    // data functions and the set-ups and clean-ups.
    static const QList<QByteArray> fixtures{"initTestCase", "cleanupTestCase", "init", "cleanup"};
    const QMetaObject *meta = test.metaObject();
    const int info = meta->indexOfClassInfo("rowsOverParts");
    const QList<QByteArray> spread =
        info < 0 ? QList<QByteArray>() : QByteArray(meta->classInfo(info).value()).split(' ');
    QStringList selected;
    int found = 0;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        const QByteArray name = method.name();
        if (method.methodType() != QMetaMethod::Slot || method.access() != QMetaMethod::Private ||
            method.parameterCount() != 0 || name.endsWith("_data") || fixtures.contains(name))
            continue;
        if (spread.contains(name) || found++ % count == index)
            selected.append(QString::fromLatin1(name));
    }
    if (selected.isEmpty())
        qFatal("test part %d/%d names no test function", index, count);
    thisPart().index = index;
    thisPart().count = count;
    return arguments + selected;
}

FileSizeLimit::FileSizeLimit(rlim_t limit)
{
    getrlimit(RLIMIT_FSIZE, &m_saved);
    m_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = m_saved;
    lowered.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &lowered);
}

FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_handler);
}

} // namespace TestHarness
