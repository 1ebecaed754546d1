#include "Fixtures.h"
#include "PdfFixtures.h"
#include "TestHarness.h"
#include "core/library/LibrarySort.h"
#include "pdf/annotations/AnnotationLayer.h"
#include "pdf/engine/PdfDocument.h"
#include "pdf/view/PageGeometry.h"
#include "pdf/view/PageImageCache.h"
#include "pdf/view/PageLayout.h"
#include "pdf/view/PageRenderQueue.h"
#include "pdf/view/SwipeAccumulator.h"
#include "pdf/view/ViewerNavigation.h"
#include "pdf/view/ViewerSession.h"
#include "pdf/view/ViewerZoom.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

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

bool isBlack(const QImage &image, const QPointF &point)
{
    return qGray(image.pixel(point.toPoint())) < 64;
}

} // namespace

class ViewerModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // ---- Geometry and layout

    // A page's visible box and rotation as the renderer draws them: the shown size matches the
    // renderer's, a point in the black top-left quarter of the drawing maps onto black in a render,
    // and every mapping goes back to where it started.
    void pageGeometryFollowsTheRenderer_data()
    {
        QTest::addColumn<QSizeF>("mediaSize");
        QTest::addColumn<QRectF>("cropBox");
        QTest::addColumn<int>("rotation");
        QTest::addColumn<QSizeF>("shown");
        QTest::newRow("plain") << QSizeF(600, 800) << QRectF() << 0 << QSizeF(600, 800);
        QTest::newRow("90") << QSizeF(600, 800) << QRectF() << 90 << QSizeF(800, 600);
        QTest::newRow("180") << QSizeF(600, 800) << QRectF() << 180 << QSizeF(600, 800);
        QTest::newRow("270, landscape") << QSizeF(800, 600) << QRectF() << 270 << QSizeF(600, 800);
        QTest::newRow("-90 is 270") << QSizeF(600, 800) << QRectF() << -90 << QSizeF(800, 600);
        QTest::newRow("450 is 90") << QSizeF(600, 800) << QRectF() << 450 << QSizeF(800, 600);
        QTest::newRow("cropped") << QSizeF(600, 800) << QRectF(50, 100, 400, 500) << 0 << QSizeF(400, 500);
        QTest::newRow("cropped, 90") << QSizeF(600, 800) << QRectF(50, 100, 400, 500) << 90
                                     << QSizeF(500, 400);
        QTest::newRow("cropped, 270")
            << QSizeF(600, 800) << QRectF(20, 30, 300, 700) << 270 << QSizeF(700, 300);
        QTest::newRow("crop past the media box is clipped")
            << QSizeF(600, 800) << QRectF(300, 400, 500, 300) << 0 << QSizeF(300, 300);
        QTest::newRow("crop taller than the media box")
            << QSizeF(600, 800) << QRectF(100, -50, 200, 900) << 180 << QSizeF(200, 800);
    }

    void pageGeometryFollowsTheRenderer()
    {
        QFETCH(QSizeF, mediaSize);
        QFETCH(QRectF, cropBox);
        QFETCH(int, rotation);
        QFETCH(QSizeF, shown);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("page.pdf"));
        PdfFixtures::write(path, {{mediaSize, rotation, cropBox}});
        const Result<PdfDocumentPtr> document = PdfDocument::open(path);
        QVERIFY(document);
        const PageGeometry geometry =
            PageGeometry::fromBoxes(document.value()->pageBoxes(0).value(), document.value()->pageSize(0));
        QCOMPARE(geometry.shownSize(), shown);
        QCOMPARE(document.value()->pageSize(0), shown);

        const double scale = 0.5;
        const QImage image = document.value()->render(0, scale).value();
        // The fixture blackens the drawing's top-left quarter: in user space x below a quarter of the
        // width, y above three quarters of the height. Probe inside the visible box, away from edges.
        const QRectF black(0, mediaSize.height() * 0.75, mediaSize.width() / 4, mediaSize.height() / 4);
        const QRectF visible = geometry.visibleBox();
        const QList<QPointF> probes = {visible.topLeft() + QPointF(3, 3),
                                       visible.bottomRight() - QPointF(3, 3),
                                       QPointF(visible.left() + 3, visible.bottom() - 3),
                                       QPointF(visible.right() - 3, visible.top() + 3), visible.center()};
        for (const QPointF &user : probes) {
            const QPointF shownPoint = geometry.toShown(user);
            QVERIFY2(QRectF(QPointF(), shown).contains(shownPoint), qPrintable(QString::number(user.x())));
            QCOMPARE(isBlack(image, shownPoint * scale), black.contains(user));
            const QPointF back = geometry.toUser(shownPoint);
            QVERIFY(qAbs(back.x() - user.x()) < 1e-9 && qAbs(back.y() - user.y()) < 1e-9);
        }
    }

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
        if (mode == PageDisplayMode::singlePage && direction != 0)
            QCOMPARE(ViewerNavigation::steppedPage(current, count, direction), target);
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

    // A layer laid over a page gives what drawing each stroke straight onto the page in order gives:
    // pens cover, highlighters multiply, later on top; whether drawn at once, added one by one or
    // grown from a smaller region.
    void annotationLayerComposes_data()
    {
        QTest::addColumn<int>("how"); // 0 at once, 1 added one by one, 2 grown from a corner
        QTest::newRow("drawn at once") << 0;
        QTest::newRow("added one by one") << 1;
        QTest::newRow("grown from a corner") << 2;
    }

    void annotationLayerComposes()
    {
        QFETCH(int, how);
        const auto line = [](double y, ColorRecord colour, double opacity, bool highlighter) {
            return StrokeRecord{{{10, y}, {190, y}}, colour, 14, opacity, highlighter};
        };
        const QList<StrokeRecord> strokes = {
            line(40, {1, 0, 0, 1}, 1, false),   // red pen
            line(46, {1, 1, 0, 1}, 0.5, true),  // yellow highlighter over it
            line(52, {0, 0, 1, 1}, 0.6, false), // blue pen over both
            line(20, {0, 1, 1, 1}, 1, true),    // a lone highlighter over the dark half
        };
        // Page space, y up, 200 x 200, drawn at two pixels a point.
        const AnnotationLayerGeometry geometry{
            QTransform::fromScale(2, -2) * QTransform::fromTranslate(0, 400), 1};
        QImage page(400, 400, QImage::Format_ARGB32_Premultiplied);
        page.fill(Qt::white);
        QPainter(&page).fillRect(0, 200, 400, 200, QColor(40, 80, 120));
        QImage expected = page;
        {
            QPainter painter(&expected);
            for (const StrokeRecord &stroke : strokes)
                AnnotationLayer::paintStroke(painter, stroke, geometry.userToPixels);
        }
        AnnotationLayer layer;
        const QRect whole(0, 0, 400, 400);
        if (how == 0) {
            layer = AnnotationLayer::render(strokes, {}, geometry, whole);
        } else {
            layer = AnnotationLayer(geometry, how == 1 ? whole : QRect(0, 0, 8, 8));
            for (const StrokeRecord &stroke : strokes) {
                layer.growTo(AnnotationLayer::bounds({stroke}, {}, geometry));
                layer.addStroke(stroke);
            }
        }
        QImage shown = page;
        {
            QPainter painter(&shown);
            layer.paint(painter, layer.region());
        }
        // Inside the lines, where edge smoothing plays no part.
        for (const QPoint probe : {QPoint(200, 320), QPoint(200, 308), QPoint(200, 296), QPoint(200, 360),
                                   QPoint(200, 100), QPoint(30, 250)}) {
            const QRgb a = shown.pixel(probe);
            const QRgb b = expected.pixel(probe);
            QVERIFY2(std::abs(qRed(a) - qRed(b)) <= 3 && std::abs(qGreen(a) - qGreen(b)) <= 3 &&
                         std::abs(qBlue(a) - qBlue(b)) <= 3,
                     qPrintable(QStringLiteral("at %1,%2: %3 against %4")
                                    .arg(probe.x())
                                    .arg(probe.y())
                                    .arg(QColor(a).name(), QColor(b).name())));
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

    // ---- Rendering

    // Pending requests are replaced, so pages the user has left are never rendered; results of a
    // book that was replaced never arrive.
    void renderQueueKeepsOnlyWhatIsWanted()
    {
        const QString book = PdfFixtures::testData("books/songs-from-the-public-domain.pdf");
        PageRenderQueue queue;
        QSignalSpy rendered(&queue, &PageRenderQueue::rendered);
        queue.setDocumentPath(book);
        QList<PageRenderRequest> many;
        for (int page = 0; page < 40; ++page)
            many.append({page, 1.0, QRect()});
        queue.setPending(many);
        queue.setPending({{100, 0.5, QRect()}, {101, 0.5, QRect(10, 20, 30, 40)}});
        QTRY_VERIFY(queue.isIdle());
        QVERIFY(rendered.size() <= 4); // at most the two that may have started before the change
        const auto last = rendered.takeLast();
        const PageRenderRequest request = last.at(0).value<PageRenderRequest>();
        QCOMPARE(request.pageIndex, 101);
        const QImage image = last.at(1).value<QImage>();
        QCOMPARE(image.size(), QSize(30, 40));
        QCOMPARE(image.format(), QImage::Format_RGB32);

        // Asked for again while it is being rendered, a page is not rendered twice.
        rendered.clear();
        queue.setPending({{5, 1.5, QRect()}});
        QThread::msleep(3);
        queue.setPending({{5, 1.5, QRect()}});
        QTRY_VERIFY(queue.isIdle());
        QCOMPARE(rendered.size(), 1);

        rendered.clear();
        queue.setPending({{0, 2.0, QRect()}});
        queue.setDocumentPath(PdfFixtures::testData("books/joplin-pineapple-rag.pdf"));
        QTRY_VERIFY(queue.isIdle());
        QCOMPARE(rendered.size(), 0);

        QSignalSpy failed(&queue, &PageRenderQueue::renderFailed);
        queue.setPending({{99, 1.0, QRect()}});
        QTRY_COMPARE(failed.size(), 1);
    }

    // A book given again at the same path is read again: a file that was broken may be whole now,
    // and one rewritten shows its new pages.
    void renderQueueRereadsABookGivenAgain()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("book.pdf"));
        TestHarness::writeFile(path, "%PDF-1.4\nnot yet written");
        PageRenderQueue queue;
        QSignalSpy rendered(&queue, &PageRenderQueue::rendered);
        QSignalSpy failed(&queue, &PageRenderQueue::renderFailed);
        queue.setDocumentPath(path);
        queue.setPending({{0, 1.0, QRect()}});
        QTRY_COMPARE(failed.size(), 1);

        PdfFixtures::write(path, {PdfFixtures::Page{QSizeF(100, 200), 0, QRectF(), false}});
        queue.setDocumentPath(path);
        queue.setPending({{0, 1.0, QRect()}});
        QTRY_VERIFY(queue.isIdle());
        QCOMPARE(failed.size(), 1);
        QCOMPARE(rendered.size(), 1);
        QCOMPARE(rendered.takeFirst().at(1).value<QImage>().size(), QSize(100, 200));

        PdfFixtures::write(path, {PdfFixtures::Page{QSizeF(300, 150), 0, QRectF(), false}});
        queue.setDocumentPath(path);
        queue.setPending({{0, 1.0, QRect()}});
        QTRY_COMPARE(rendered.size(), 1);
        QCOMPARE(rendered.takeFirst().at(1).value<QImage>().size(), QSize(300, 150));
    }

    void imageCacheStaysWithinItsBudget()
    {
        const QImage page(100, 100, QImage::Format_RGB32); // 40,000 bytes
        PageImageCache cache(100'000);
        const PageRenderRequest a{0, 1.0, QRect()}, b{1, 1.0, QRect()}, c{2, 1.0, QRect()};
        cache.insert(a, page);
        cache.insert(b, page);
        QVERIFY(cache.find(0, 1.0, QRect(0, 0, 10, 10))); // a is now the most recently used
        cache.insert(c, page);
        cache.trim({c});
        QCOMPARE(cache.size(), 2);
        QVERIFY(cache.find(0, 1.0, QRect(0, 0, 10, 10)));
        QVERIFY(!cache.find(1, 1.0, QRect(0, 0, 10, 10)));
        // Kept images stay even over the budget.
        cache.insert(b, page);
        cache.trim({a, b, c});
        QCOMPARE(cache.size(), 3);
        cache.trim({});
        QCOMPARE(cache.size(), 2);

        // A region covers only its part; a whole page at the same scale replaces the regions it covers,
        // and images at other scales come first when painting.
        PageImageCache regions;
        regions.insert({5, 2.0, QRect(0, 0, 50, 50)}, QImage(50, 50, QImage::Format_RGB32));
        QVERIFY(regions.find(5, 2.0, QRect(10, 10, 20, 20)));
        QVERIFY(!regions.find(5, 2.0, QRect(40, 40, 20, 20)));
        QVERIFY(!regions.find(5, 1.0, QRect(10, 10, 20, 20)));
        regions.insert({5, 1.0, QRect()}, QImage(60, 60, QImage::Format_RGB32));
        regions.insert({5, 2.0, QRect()}, QImage(120, 120, QImage::Format_RGB32));
        QCOMPARE(regions.size(), 2);
        const QList<const PageImageCache::Entry *> order = regions.imagesOf(5, 2.0);
        QCOMPARE(order.size(), 2);
        QCOMPARE(order.last()->request.scale, 2.0);
    }
};

LYRAFOLD_TEST_MAIN_WITH(QGuiApplication, ViewerModelTest)
#include "tst_viewermodel.moc"
