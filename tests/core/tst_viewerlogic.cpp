#include "Fixtures.h"
#include "TestHarness.h"
#include "core/search/LibrarySort.h"
#include "core/viewer/PageLayout.h"
#include "core/viewer/SwipeAccumulator.h"
#include "core/viewer/ViewerNavigation.h"
#include "core/viewer/ViewerSession.h"
#include "core/viewer/ViewerZoom.h"

#include <limits>

using Phase = SwipeAccumulator::Phase;
using Spread = PageLayout::Spread;

Q_DECLARE_METATYPE(Spread)
Q_DECLARE_METATYPE(PageDisplayMode)
Q_DECLARE_METATYPE(std::optional<int>)
Q_DECLARE_METATYPE(std::optional<double>)
Q_DECLARE_METATYPE(QList<SwipeAccumulator::Sample>)

namespace {

PlaylistItem item(const QString &title, qint64 page, qint64 span = 1,
                  const QString &path = QStringLiteral("/b.pdf"))
{
    BookmarkEntry entry = Fixtures::bookmark(path, page, title);
    entry.pageSpan = span;
    return PlaylistItem::fromBookmark(entry);
}

BookmarkEntry entry(const QString &title, qint64 page, qint64 span = 1,
                    const QString &path = QStringLiteral("/b.pdf"))
{
    return BookmarkEntry(item(title, page, span, path));
}

SwipeAccumulator::Sample scroll(double dx, double dy, Phase phase, qint64 timeMs, bool momentum = false)
{
    return {dx, dy, phase, momentum, timeMs};
}

} // namespace

// The viewer's rules that need no PDF: spreads, fitting and zoom, page and title navigation, swipes.
class ViewerLogicTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // ---- Layout

    void spreadsPairPages_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("count");
        QTest::addColumn<PageDisplayMode>("mode");
        QTest::addColumn<bool>("asBook");
        QTest::addColumn<Spread>("spread");
        QTest::addColumn<Spread>("next");
        QTest::addColumn<Spread>("previous");
        const auto single = PageDisplayMode::singlePage;
        const auto twoUp = PageDisplayMode::twoUp;
        QTest::newRow("single") << 4 << 10 << single << true << Spread{4, -1} << Spread{5, -1}
                                << Spread{3, -1};
        QTest::newRow("cover alone, on the right")
            << 0 << 10 << twoUp << true << Spread{-1, 0} << Spread{1, 2} << Spread{};
        QTest::newRow("cover kept: 2 and 3 together")
            << 2 << 10 << twoUp << true << Spread{1, 2} << Spread{3, 4} << Spread{-1, 0};
        QTest::newRow("cover kept, right page")
            << 3 << 10 << twoUp << true << Spread{3, 4} << Spread{5, 6} << Spread{1, 2};
        QTest::newRow("cover removed: 1 and 2 together")
            << 1 << 10 << twoUp << false << Spread{0, 1} << Spread{2, 3} << Spread{};
        QTest::newRow("odd last page alone, on the left")
            << 10 << 11 << twoUp << false << Spread{10, -1} << Spread{} << Spread{8, 9};
        QTest::newRow("even count, cover kept: last alone")
            << 9 << 10 << twoUp << true << Spread{9, -1} << Spread{} << Spread{7, 8};
        QTest::newRow("outside the book") << 10 << 10 << twoUp << true << Spread{} << Spread{} << Spread{};
        QTest::newRow("one page, cover kept")
            << 0 << 1 << twoUp << true << Spread{-1, 0} << Spread{} << Spread{};
    }

    void spreadsPairPages()
    {
        QFETCH(int, page);
        QFETCH(int, count);
        QFETCH(PageDisplayMode, mode);
        QFETCH(bool, asBook);
        QFETCH(Spread, spread);
        QCOMPARE(PageLayout::spreadFor(page, count, mode, asBook), spread);
        QTEST(PageLayout::nextSpread(page, count, mode, asBook), "next");
        QTEST(PageLayout::previousSpread(page, count, mode, asBook), "previous");
    }

    // A lone page keeps its side of the spread, so a page turn never shifts the layout sideways.
    void spreadLayoutKeepsBothSlots()
    {
        const auto size = [](int page) { return page == 1 ? QSizeF(300, 400) : QSizeF(200, 400); };
        const PageLayout::SpreadLayout cover = PageLayout::layout({-1, 0}, PageDisplayMode::twoUp, 1.0, size);
        QCOMPARE(cover.size, QSizeF(200 + PageLayout::spreadGap + 200, 400));
        QCOMPARE(cover.pages.size(), 1);
        QCOMPARE(cover.pages[0].rect, QRectF(200 + PageLayout::spreadGap, 0, 200, 400));
        QCOMPARE(cover.pageAt(QPointF(100, 100)), std::nullopt);
        QCOMPARE(cover.pageAt(QPointF(300, 100)), std::optional<int>(0));
        const PageLayout::SpreadLayout pair = PageLayout::layout({1, 2}, PageDisplayMode::twoUp, 0.5, size);
        QCOMPARE(pair.size, QSizeF(150 + PageLayout::spreadGap + 100, 200));
        QCOMPARE(pair.find(2)->rect, QRectF(150 + PageLayout::spreadGap, 0, 100, 200));
    }

    // ---- Fit and zoom

    void fitScale_data()
    {
        QTest::addColumn<QSizeF>("page");
        QTest::addColumn<QSizeF>("available");
        QTest::addColumn<bool>("twoUp");
        QTest::addColumn<std::optional<double>>("scale");
        QTest::newRow("limited by height")
            << QSizeF(600, 800) << QSizeF(1000, 400) << false << std::optional<double>(0.49);
        QTest::newRow("limited by width")
            << QSizeF(600, 800) << QSizeF(300, 2000) << false << std::optional<double>(0.49);
        QTest::newRow("portrait in a wide window, single: height")
            << QSizeF(600, 800) << QSizeF(1000, 800) << false << std::optional<double>(0.98);
        QTest::newRow("the same two-up: the doubled width")
            << QSizeF(600, 800) << QSizeF(1000, 800) << true << std::optional<double>(1000.0 / 1200 * 0.98);
        QTest::newRow("rotated landscape (shown size)")
            << QSizeF(800, 600) << QSizeF(800, 800) << false << std::optional<double>(0.98);
        QTest::newRow("tiny window: the minimum")
            << QSizeF(600, 800) << QSizeF(10, 10) << false << std::optional<double>(0.25);
        QTest::newRow("empty area counts as 1 x 1")
            << QSizeF(600, 800) << QSizeF(0, -5) << false << std::optional<double>(0.25);
        QTest::newRow("huge window: the maximum")
            << QSizeF(60, 80) << QSizeF(5000, 5000) << false << std::optional<double>(4.0);
        QTest::newRow("page without area")
            << QSizeF(0, 800) << QSizeF(500, 500) << false << std::optional<double>();
    }

    void fitScale()
    {
        QFETCH(QSizeF, page);
        QFETCH(QSizeF, available);
        QFETCH(bool, twoUp);
        QFETCH(std::optional<double>, scale);
        const std::optional<double> fitted = ViewerZoom::fitScale(page, available, twoUp);
        QCOMPARE(fitted.has_value(), scale.has_value());
        if (scale)
            QVERIFY2(qFuzzyCompare(*fitted, *scale), qPrintable(QString::number(*fitted)));
    }

    void zoomArithmetic_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<double>("scale");
        QTest::addColumn<double>("argument");
        QTest::addColumn<std::optional<double>>("result");
        QTest::newRow("+ adds a quarter") << "in" << 1.0 << 0.0 << std::optional<double>(1.25);
        QTest::newRow("+ stops at the maximum") << "in" << 3.9 << 0.0 << std::optional<double>(4.0);
        QTest::newRow("+ at the maximum stays") << "in" << 4.0 << 0.0 << std::optional<double>(4.0);
        QTest::newRow("- takes a quarter") << "out" << 1.0 << 0.0 << std::optional<double>(0.75);
        QTest::newRow("- stops at the minimum") << "out" << 0.3 << 0.0 << std::optional<double>(0.25);
        QTest::newRow("pinch 0.5") << "pinch" << 1.0 << 0.5 << std::optional<double>(1.5);
        QTest::newRow("pinch -0.9 multiplies by 0.2") << "pinch" << 2.0 << -0.9 << std::optional<double>(0.4);
        QTest::newRow("pinch -0.9, then the minimum")
            << "pinch" << 1.0 << -0.9 << std::optional<double>(0.25);
        QTest::newRow("pinch 7 multiplies by 5") << "pinch" << 0.5 << 7.0 << std::optional<double>(2.5);
        QTest::newRow("pinch 7, then the maximum") << "pinch" << 1.0 << 7.0 << std::optional<double>(4.0);
        QTest::newRow("pinch 0 is ignored") << "pinch" << 1.0 << 0.0 << std::optional<double>();
        QTest::newRow("one wheel notch") << "wheel" << 1.0 << 120.0 << std::optional<double>(1.1);
    }

    void zoomArithmetic()
    {
        QFETCH(QString, operation);
        QFETCH(double, scale);
        QFETCH(double, argument);
        QFETCH(std::optional<double>, result);
        std::optional<double> got;
        if (operation == QLatin1String("in"))
            got = ViewerZoom::zoomedIn(scale);
        else if (operation == QLatin1String("out"))
            got = ViewerZoom::zoomedOut(scale);
        else if (operation == QLatin1String("pinch"))
            got = ViewerZoom::magnified(scale, argument);
        else
            got = ViewerZoom::magnified(scale, ViewerZoom::wheelMagnification(int(argument)));
        QCOMPARE(got.has_value(), result.has_value());
        if (result)
            QVERIFY2(qFuzzyCompare(*got, *result), qPrintable(QString::number(*got)));
    }

    // ---- Navigation

    void pageTurns_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("count");
        QTest::addColumn<PageDisplayMode>("mode");
        QTest::addColumn<int>("direction");
        QTest::addColumn<std::optional<int>>("target");
        const auto single = PageDisplayMode::singlePage;
        const auto twoUp = PageDisplayMode::twoUp;
        QTest::newRow("forward one") << 3 << 10 << single << 1 << std::optional<int>(4);
        QTest::newRow("back one") << 3 << 10 << single << -1 << std::optional<int>(2);
        QTest::newRow("direction 0 goes back") << 3 << 10 << single << 0 << std::optional<int>(2);
        QTest::newRow("last page: nothing") << 9 << 10 << single << 1 << std::optional<int>();
        QTest::newRow("first page: nothing") << 0 << 10 << single << -1 << std::optional<int>();
        QTest::newRow("two-up forward two") << 3 << 10 << twoUp << 1 << std::optional<int>(5);
        QTest::newRow("two-up back two") << 3 << 10 << twoUp << -1 << std::optional<int>(1);
        QTest::newRow("two-up past the end lands on the last")
            << 9 << 11 << twoUp << 1 << std::optional<int>(10);
        QTest::newRow("two-up on the last: nothing") << 10 << 11 << twoUp << 1 << std::optional<int>();
        QTest::newRow("two-up before the start lands on the first")
            << 1 << 11 << twoUp << -1 << std::optional<int>(0);
        QTest::newRow("empty book") << 0 << 0 << single << 1 << std::optional<int>();
    }

    void pageTurns()
    {
        QFETCH(int, current);
        QFETCH(int, count);
        QFETCH(PageDisplayMode, mode);
        QFETCH(int, direction);
        QFETCH(std::optional<int>, target);
        QCOMPARE(ViewerNavigation::turnedPage(current, count, mode, direction), target);
    }

    // Scroll steps 400 a screen and 20 a line; a scroll maximum of 0 is a fitted page.
    void viewKeys_data()
    {
        using Key = ViewerNavigation::ViewKey;
        QTest::addColumn<int>("key");
        QTest::addColumn<PageDisplayMode>("mode");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("scrolled");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QString>("move");
        const auto single = PageDisplayMode::singlePage;
        const auto twoUp = PageDisplayMode::twoUp;
        QTest::newRow("page down scrolls a screen")
            << int(Key::pageDown) << single << 3 << 0 << 1000 << "to 400";
        QTest::newRow("page down stops at the bottom")
            << int(Key::pageDown) << single << 3 << 800 << 1000 << "to 1000";
        QTest::newRow("page down at the bottom turns")
            << int(Key::pageDown) << single << 3 << 1000 << 1000 << "page 4";
        QTest::newRow("fitted: page down turns") << int(Key::pageDown) << single << 3 << 0 << 0 << "page 4";
        QTest::newRow("two-up: a spread") << int(Key::pageDown) << twoUp << 3 << 0 << 0 << "page 5";
        QTest::newRow("page down on the last page") << int(Key::pageDown) << single << 9 << 0 << 0 << "none";
        QTest::newRow("page up scrolls back") << int(Key::pageUp) << single << 3 << 500 << 1000 << "to 100";
        QTest::newRow("page up at the top turns back to the bottom")
            << int(Key::pageUp) << single << 3 << 0 << 1000 << "page 2 at bottom";
        QTest::newRow("page up on the first page") << int(Key::pageUp) << single << 0 << 0 << 1000 << "none";
        QTest::newRow("line down") << int(Key::lineDown) << single << 3 << 0 << 1000 << "to 20";
        QTest::newRow("line down never turns") << int(Key::lineDown) << single << 3 << 1000 << 1000 << "none";
        QTest::newRow("line up on a fitted page") << int(Key::lineUp) << single << 3 << 0 << 0 << "none";
        QTest::newRow("first page") << int(Key::firstPage) << single << 5 << 0 << 0 << "page 0";
        QTest::newRow("first page, scrolled down")
            << int(Key::firstPage) << single << 0 << 300 << 1000 << "page 0";
        QTest::newRow("first page, at its top") << int(Key::firstPage) << single << 0 << 0 << 1000 << "none";
        QTest::newRow("last page") << int(Key::lastPage) << twoUp << 2 << 0 << 0 << "page 9";
        QTest::newRow("empty book") << int(Key::lastPage) << single << -1 << 0 << 0 << "none";
    }

    void viewKeys()
    {
        QFETCH(int, key);
        QFETCH(PageDisplayMode, mode);
        QFETCH(int, current);
        QFETCH(int, scrolled);
        QFETCH(int, maximum);
        const int count = current < 0 ? 0 : 10;
        const std::optional<ViewerNavigation::ViewKeyMove> move = ViewerNavigation::viewKeyMove(
            ViewerNavigation::ViewKey(key), {scrolled, maximum, 400, 20}, current, count, mode);
        QString got = QStringLiteral("none");
        if (move && move->scrollTo)
            got = QStringLiteral("to %1").arg(*move->scrollTo);
        else if (move)
            got = QStringLiteral("page %1").arg(*move->page) + (move->atBottom ? " at bottom" : "");
        QTEST(got, "move");
    }

    void pageField_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<std::optional<int>>("page"); // 0-based; none: the field is only refreshed
        QTest::newRow("7") << "7" << 120 << std::optional<int>(6);
        QTest::newRow("7 with blanks and a line break") << " 7 \n" << 120 << std::optional<int>(6);
        QTest::newRow("0 gives the first page") << "0" << 120 << std::optional<int>(0);
        QTest::newRow("-3 gives the first page") << "-3" << 120 << std::optional<int>(0);
        QTest::newRow("+2") << "+2" << 120 << std::optional<int>(1);
        QTest::newRow("300 of 120 gives the last") << "300" << 120 << std::optional<int>(119);
        QTest::newRow("the largest 64-bit number") << "9223372036854775807" << 120 << std::optional<int>(119);
        QTest::newRow("the smallest 64-bit number") << "-9223372036854775808" << 120 << std::optional<int>(0);
        QTest::newRow("20 digits") << "12345678901234567890" << 120 << std::optional<int>();
        QTest::newRow("abc") << "abc" << 120 << std::optional<int>();
        QTest::newRow("empty") << "" << 120 << std::optional<int>();
        QTest::newRow("blanks only") << "   " << 120 << std::optional<int>();
        QTest::newRow("decimal point") << "2.5" << 120 << std::optional<int>();
        QTest::newRow("blank inside") << "1 2" << 120 << std::optional<int>();
        QTest::newRow("sign alone") << "+" << 120 << std::optional<int>();
        QTest::newRow("Arabic-Indic digits") << QStringLiteral("\u0667") << 120 << std::optional<int>();
    }

    void pageField()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        QFETCH(std::optional<int>, page);
        const std::optional<qint64> number = ViewerNavigation::parsePageNumber(text);
        QCOMPARE(number.has_value(), page.has_value());
        if (number)
            QCOMPARE(ViewerNavigation::pageIndexForNumber(*number, count), *page);
    }

    void titleLabel_data()
    {
        QTest::addColumn<bool>("failed");
        QTest::addColumn<bool>("playlist");
        QTest::addColumn<qint64>("index");
        QTest::addColumn<int>("page"); // 0-based; -1 for no current page
        QTest::addColumn<bool>("browsed");
        QTest::addColumn<QString>("initial"); // "-" for none
        QTest::addColumn<QString>("label");
        // Library titles: Intro p10 span 3, Verse p11, Coda p20 span 0, and "a" and "B" both at p30.
        QTest::newRow("a failed load names the file") << true << true << 0LL << 3 << true << "A"
                                                      << "Could not open book.pdf";
        QTest::newRow("playlist item, whatever the page") << false << true << 1LL << 40 << true << "A"
                                                          << "Two";
        QTest::newRow("playlist index past the end falls through")
            << false << true << 2LL << 19 << true << "A"
            << "Coda";
        QTest::newRow("no page: the initial title") << false << false << 0LL << -1 << true << "A"
                                                    << "A";
        QTest::newRow("no page, no initial title") << false << false << 0LL << -1 << true << "-"
                                                   << "";
        QTest::newRow("not browsed yet: the initial title") << false << false << 0LL << 10 << false << "A"
                                                            << "A";
        QTest::newRow("not browsed, empty initial: the page's title")
            << false << false << 0LL << 10 << false << ""
            << "Intro";
        QTest::newRow("overlap: the lowest start page wins") << false << false << 0LL << 10 << true << "A"
                                                             << "Intro";
        QTest::newRow("end of a span") << false << false << 0LL << 11 << true << "A"
                                       << "Intro";
        QTest::newRow("span 0 counts as 1") << false << false << 0LL << 19 << true << "A"
                                            << "Coda";
        QTest::newRow("after a span 0 title: uncovered") << false << false << 0LL << 20 << true << "A"
                                                         << "A";
        QTest::newRow("uncovered, no initial title") << false << false << 0LL << 20 << true << "-"
                                                     << "";
        QTest::newRow("same page: the title first in order") << false << false << 0LL << 29 << true << "A"
                                                             << "a";
    }

    void titleLabel()
    {
        QFETCH(bool, failed);
        QFETCH(bool, playlist);
        QFETCH(qint64, index);
        QFETCH(int, page);
        QFETCH(bool, browsed);
        QFETCH(QString, initial);
        const QList<PlaylistItem> items = {item(QStringLiteral("One"), 1), item(QStringLiteral("Two"), 5)};
        const BookmarkList library = LibrarySort::sortedByPageAndTitle(
            {entry(QStringLiteral("Verse"), 11), entry(QStringLiteral("B"), 30),
             entry(QStringLiteral("Coda"), 20, 0), entry(QStringLiteral("Intro"), 10, 3),
             entry(QStringLiteral("a"), 30)});
        ViewerNavigation::TitleContext context;
        if (failed)
            context.failedFileName = QStringLiteral("book.pdf");
        context.playlistItems = playlist ? &items : nullptr;
        context.playlistCurrentIndex = index;
        if (page >= 0)
            context.currentPageIndex = page;
        context.userHasBrowsedPages = browsed;
        if (initial != QLatin1String("-"))
            context.initialTitle = initial;
        context.sourcePdfBookmarks = &library;
        QTEST(ViewerNavigation::currentTitle(context), "label");
    }

    void titlePageSpan_data()
    {
        QTest::addColumn<bool>("playlist");
        QTest::addColumn<bool>("bookmark");
        QTest::addColumn<qint64>("startPage");
        QTest::addColumn<qint64>("span");
        QTest::newRow("the playlist item") << true << true << 3LL << 4LL;
        QTest::newRow("the opened bookmark, its path not compared") << false << true << 3LL << 6LL;
        QTest::newRow("the library title of this book") << false << false << 3LL << 2LL;
        QTest::newRow("another book's title at that page") << false << false << 7LL << 5LL;
        QTest::newRow("nothing starts there") << false << false << 8LL << 1LL;
    }

    void titlePageSpan()
    {
        QFETCH(bool, playlist);
        QFETCH(bool, bookmark);
        QFETCH(qint64, startPage);
        const QList<PlaylistItem> items = {item(QStringLiteral("P"), 3, 4)};
        const std::optional<BookmarkEntry> opened =
            bookmark ? std::optional(entry(QStringLiteral("O"), 3, 6, QStringLiteral("/other.pdf")))
                     : std::nullopt;
        const BookmarkList library = {entry(QStringLiteral("X"), 3, 9, QStringLiteral("/other.pdf")),
                                      entry(QStringLiteral("Y"), 3, 2),
                                      entry(QStringLiteral("Z"), 7, 5, QStringLiteral("/other.pdf"))};
        ViewerNavigation::SpanContext context;
        context.playlistItems = playlist ? &items : nullptr;
        context.bookmarkEntry = &opened;
        context.sourcePdfBookmarks = &library;
        context.currentPageNumber = startPage;
        context.currentPdfPath = QStringLiteral("/b.pdf");
        QTEST(ViewerNavigation::currentTitlePageSpan(context), "span");
    }

    // The title a share exports: the first rule that applies.
    void shareEntry_data()
    {
        QTest::addColumn<bool>("playlist");
        QTest::addColumn<QString>("openedPath"); // empty: opened without a title
        QTest::addColumn<qint64>("startPage");
        QTest::addColumn<QString>("shared");
        QTest::newRow("the current list item") << true << "/b.pdf" << 3LL << "P";
        QTest::newRow("the opened title, its book shown") << false << "/b.pdf" << 3LL << "O";
        QTest::newRow("this book's library title at the page") << false << "/other.pdf" << 3LL << "Y";
        QTest::newRow("another book's title at the page") << false << "/other.pdf" << 7LL << "Z";
        QTest::newRow("made up, named as opened") << false << "/other.pdf" << 8LL << "O";
        QTest::newRow("made up, named after the file") << false << "" << 8LL << "b";
    }

    void shareEntry()
    {
        QFETCH(bool, playlist);
        QFETCH(QString, openedPath);
        QFETCH(qint64, startPage);
        const std::optional<BookmarkEntry> opened =
            openedPath.isEmpty() ? std::nullopt : std::optional(entry(QStringLiteral("O"), 3, 6, openedPath));
        const BookmarkList library = {entry(QStringLiteral("X"), 3, 9, QStringLiteral("/x.pdf")),
                                      entry(QStringLiteral("Y"), 3, 2),
                                      entry(QStringLiteral("Z"), 7, 5, QStringLiteral("/x.pdf"))};
        const std::optional<QList<PlaylistItem>> items =
            playlist ? std::optional(
                           QList<PlaylistItem>{item(QStringLiteral("Q"), 1), item(QStringLiteral("P"), 3)})
                     : std::nullopt;
        ViewerSession session(QStringLiteral("/b.pdf"), startPage, opened, items, 0, library);
        session.stepTitle(1);
        session.setCurrent(QStringLiteral("/b.pdf"), startPage);
        const BookmarkEntry shared = session.currentShareBookmarkEntry(12);
        QTEST(shared.title, "shared");
        if (shared.title == QLatin1String("b") || startPage == 8) {
            QCOMPARE(shared.pdfFilePath, QStringLiteral("/b.pdf"));
            QCOMPARE(shared.pdfFileName, QStringLiteral("b.pdf"));
            QCOMPARE(shared.pageNumber, 8);
            QCOMPARE(shared.pageSpan, 1);
            QCOMPARE(shared.totalPages, 12);
        }
    }

    void twoPageSpreadRule_data()
    {
        QTest::addColumn<qint64>("span");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<bool>("coverRemoved");
        QTest::newRow("two pages from 5: (5, 6)") << 2LL << 5LL << true;
        QTest::newRow("two pages from 8: cover kept, (8, 9)") << 2LL << 8LL << false;
        QTest::newRow("three pages from 1") << 3LL << 1LL << true;
        QTest::newRow("three pages from 2") << 3LL << 2LL << false;
        QTest::newRow("one page always keeps the cover") << 1LL << 5LL << false;
    }

    void twoPageSpreadRule()
    {
        QFETCH(qint64, span);
        QFETCH(qint64, start);
        QTEST(ViewerNavigation::coverPageRemovedForTwoPage(span, start), "coverRemoved");
    }

    void titlesAndIndexes()
    {
        // Sorted by page, then lower-cased title; "abc" and "ABC" keep their given order.
        const BookmarkList sorted = LibrarySort::sortedByPageAndTitle(
            {entry(QStringLiteral("b"), 2), entry(QStringLiteral("abc"), 2), entry(QStringLiteral("Z"), 1),
             entry(QStringLiteral("ABC"), 2), entry(QStringLiteral("C"), 2)});
        QStringList titles;
        for (const BookmarkEntry &e : sorted)
            titles.append(e.title);
        QCOMPARE(titles, QStringList({"Z", "abc", "ABC", "b", "C"}));

        QCOMPARE(ViewerNavigation::clampedPlaylistIndex(-1, 3), 0);
        QCOMPARE(ViewerNavigation::clampedPlaylistIndex(3, 3), 3);
        QCOMPARE(ViewerNavigation::clampedPlaylistIndex(9, 3), 3);
        QCOMPARE(ViewerNavigation::clampedPlaylistIndex(2, 0), 0);

        const QString forty = QString(40, QLatin1Char('x'));
        QCOMPARE(ViewerNavigation::truncatedPlaylistTitle(forty, 32),
                 QString(31, QLatin1Char('x')) + QChar(0x2026));
        const QString thirtyTwo = QString(32, QLatin1Char('y'));
        QCOMPARE(ViewerNavigation::truncatedPlaylistTitle(
                     QStringLiteral("  ") + thirtyTwo + QStringLiteral("\n"), 32),
                 thirtyTwo);
        // Characters outside the basic plane count once and are never cut in half.
        const QString notes =
            QString(33, QChar()).fill(QLatin1Char('a')).replace(30, 1, QStringLiteral("\U0001D11E"));
        const QString cut = ViewerNavigation::truncatedPlaylistTitle(notes, 32);
        QCOMPARE(cut.toUcs4().size(), 32);
        QVERIFY(cut.endsWith(QStringLiteral("\U0001D11E\u2026")));
    }

    // ---- Swipes

    void swipes_data()
    {
        QTest::addColumn<QList<SwipeAccumulator::Sample>>("events");
        QTest::addColumn<bool>("editMode");
        QTest::addColumn<double>("scale"); // the fitted scale is 1
        QTest::addColumn<QList<int>>("turns");
        QTest::addColumn<QList<bool>>("consumed");
        using L = QList<SwipeAccumulator::Sample>;
        QTest::newRow("a 200-unit swipe back turns once")
            << L{scroll(0, 0, Phase::began, 0),     scroll(30, 0, Phase::changed, 10),
                 scroll(30, 0, Phase::changed, 20), scroll(70, 0, Phase::changed, 30),
                 scroll(70, 0, Phase::changed, 40), scroll(0, 0, Phase::ended, 50)}
            << false << 1.0 << QList<int>{0, 0, -1, 0, 0, 0}
            << QList<bool>{true, true, true, true, true, true};
        QTest::newRow("forward, then a new gesture turns again")
            << L{scroll(0, 0, Phase::began, 0), scroll(-50, 0, Phase::changed, 10),
                 scroll(0, 0, Phase::ended, 20), scroll(0, 0, Phase::began, 30),
                 scroll(-45, 2, Phase::changed, 40)}
            << false << 1.0 << QList<int>{0, 1, 0, 0, 1} << QList<bool>{true, true, true, true, true};
        QTest::newRow("41 is not enough, 44 is")
            << L{scroll(0, 0, Phase::began, 0), scroll(-41, 0, Phase::changed, 10),
                 scroll(-3, 0, Phase::changed, 20)}
            << false << 1.0 << QList<int>{0, 0, 1} << QList<bool>{true, true, true};
        QTest::newRow("a sideways twitch of 2 does not count")
            << L{scroll(0, 0, Phase::began, 0), scroll(-40, 0, Phase::changed, 10),
                 scroll(-2, 0, Phase::changed, 20)}
            << false << 1.0 << QList<int>{0, 0, 0} << QList<bool>{true, true, true};
        QTest::newRow("without phases a pause of 250 ms ends the gesture")
            << L{scroll(-50, 0, Phase::none, 0), scroll(-50, 0, Phase::none, 200),
                 scroll(-50, 0, Phase::none, 451)}
            << false << 1.0 << QList<int>{1, 0, 1} << QList<bool>{true, true, true};
        QTest::newRow("momentum is swallowed and not counted")
            << L{scroll(0, 0, Phase::began, 0), scroll(-30, 0, Phase::changed, 10),
                 scroll(-30, 0, Phase::changed, 20, true), scroll(-30, 0, Phase::changed, 30)}
            << false << 1.0 << QList<int>{0, 0, 0, 1} << QList<bool>{true, true, true, true};
        QTest::newRow("edit mode: consumed, no turn")
            << L{scroll(0, 0, Phase::began, 0), scroll(-80, 0, Phase::changed, 10)} << true << 1.0
            << QList<int>{0, 0} << QList<bool>{true, true};
        QTest::newRow("zoomed to 1.2 times the fit: consumed, no turn")
            << L{scroll(0, 0, Phase::began, 0), scroll(-80, 0, Phase::changed, 10)} << false << 1.2
            << QList<int>{0, 0} << QList<bool>{false, true};
        QTest::newRow("just below 1.2 times the fit still turns")
            << L{scroll(0, 0, Phase::began, 0), scroll(-80, 0, Phase::changed, 10)} << false << 1.19
            << QList<int>{0, 1} << QList<bool>{true, true};
        QTest::newRow("vertical on a fitted page: consumed")
            << L{scroll(0, -30, Phase::none, 0), scroll(3, -5, Phase::none, 10)} << false << 1.0
            << QList<int>{0, 0} << QList<bool>{true, true};
        QTest::newRow("vertical when zoomed: the page scrolls")
            << L{scroll(0, -30, Phase::none, 0), scroll(2, 2, Phase::none, 10)} << false << 2.0
            << QList<int>{0, 0} << QList<bool>{false, false};
        QTest::newRow("mostly vertical does not count sideways")
            << L{scroll(0, 0, Phase::began, 0), scroll(-40, -30, Phase::changed, 10),
                 scroll(-5, 0, Phase::changed, 20)}
            << false << 1.0 << QList<int>{0, 0, 0} << QList<bool>{true, true, true};
    }

    void swipes()
    {
        QFETCH(QList<SwipeAccumulator::Sample>, events);
        QFETCH(bool, editMode);
        QFETCH(double, scale);
        QFETCH(QList<int>, turns);
        QFETCH(QList<bool>, consumed);
        SwipeAccumulator swipe;
        QList<int> gotTurns;
        QList<bool> gotConsumed;
        for (const SwipeAccumulator::Sample &event : events) {
            const SwipeAccumulator::Decision decision = swipe.feed(event, {editMode, scale, 1.0});
            gotTurns.append(decision.turnDirection);
            gotConsumed.append(decision.consumed);
        }
        QCOMPARE(gotTurns, turns);
        QCOMPARE(gotConsumed, consumed);
    }
};

LYRAFOLD_TEST_MAIN(ViewerLogicTest)
#include "tst_viewerlogic.moc"
