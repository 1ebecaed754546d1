#include "TestHarness.h"
#include "core/bookmarks/BookmarkEntry.h"
#include "core/common/MemoryTrim.h"

#include <QFile>

#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

// The page faults of the calling thread so far: a page the allocator maps anew costs one when first
// written, one it kept costs none.
long threadPageFaults()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt;
}

// Takes a block of that size, writes it whole and frees it, twice; the page faults of the second time.
long faultsOfSecondTake(qsizetype bytes)
{
    long faults = 0;
    for (int round = 0; round < 2; ++round) {
        const long before = threadPageFaults();
        auto *block = static_cast<char *>(std::malloc(size_t(bytes)));
        std::memset(block, round + 1, size_t(bytes));
        // Seen as read, so that the compiler keeps the block and its writes.
        asm volatile("" : : "r"(block) : "memory");
        std::free(block);
        faults = threadPageFaults() - before;
    }
    return faults;
}

double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return 0;
}

} // namespace

class MemoryTrimTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { MemoryTrim::configureAllocator(); }

    // A large block freed and taken again, as a viewer does with its page images and the search with
    // its results, reuses the pages it had instead of mapping and faulting in new ones, on the main
    // thread as on a thread of its own (a viewer's renderer).
    void largeBlockTakenAgainKeepsItsPages_data()
    {
        QTest::addColumn<qsizetype>("bytes");
        QTest::addColumn<bool>("ownThread");
        const qsizetype pageImage = 1200 * 1600 * 4;
        const qsizetype searchResult = 100000 * qsizetype(sizeof(BookmarkEntry));
        QTest::newRow("page image") << pageImage << false;
        QTest::newRow("page image, thread of its own") << pageImage << true;
        QTest::newRow("rows of a search of 100,000") << searchResult << false;
    }

    void largeBlockTakenAgainKeepsItsPages()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the sanitizer's allocator has thresholds of its own");
#endif
        QFETCH(qsizetype, bytes);
        QFETCH(bool, ownThread);
        long faults = 0;
        if (ownThread)
            std::thread([&] { faults = faultsOfSecondTake(bytes); }).join();
        else
            faults = faultsOfSecondTake(bytes);
        const long pages = long(bytes / 4096);
        QVERIFY2(faults < pages / 10,
                 qPrintable(QStringLiteral("%1 page faults for %2 pages").arg(faults).arg(pages)));
    }

    // Leftovers freed in a FreeingScope give back the end of the arena they lay in, which stays with the
    // allocator otherwise (malloc_trim does not reach the end of a thread's arena): the rows of a large
    // library read on other threads.
    void leftoversGiveBackTheEndOfTheirArena()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the sanitizer's allocator keeps what is freed");
#endif
        constexpr int pieces = 400; // 25 MB in pieces of 64 KB, as a library's blocks of rows are
        std::vector<void *> rows(pieces);
        std::thread([&] {
            for (void *&row : rows) {
                row = std::malloc(64 * 1024);
                std::memset(row, 1, 64 * 1024);
            }
        }).join();
        const double held = residentMegabytes();
        {
            const MemoryTrim::FreeingScope freeing;
            for (auto row = rows.rbegin(); row != rows.rend(); ++row)
                std::free(*row);
        }
        QVERIFY2(residentMegabytes() < held - 20,
                 qPrintable(QStringLiteral("%1 MB held, %2 MB after").arg(held).arg(residentMegabytes())));
    }
};

LYRAFOLD_TEST_MAIN(MemoryTrimTest)
#include "tst_memorytrim.moc"
