#include "Fixtures.h"
#include "ModalAnswer.h"
#include "PdfFixtures.h"
#include "TestHarnessGui.h"
#include "ViewerParts.h"
#include "core/annotations/PdfEditCacheFile.h"
#include "core/common/AppPaths.h"
#include "core/common/PdfViewLog.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/session/SongOpening.h"
#include "core/share/ExportNaming.h"
#include "core/storage/StateFile.h"
#include "core/viewer/ViewerZoom.h"
#include "platform/power/KeepAwake.h"
#include "ui/app/AppContext.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/share/TitleShareFlow.h"
#include "ui/viewer/OpenViewers.h"
#include "ui/viewer/PDFScrollZoomWrapper.h"
#include "ui/viewer/PdfEditToolPalette.h"
#include "ui/viewer/PdfPageView.h"
#include "ui/viewer/PdfViewerWindowController.h"
#include "ui/viewer/ViewerAnnotationEditor.h"
#include "ui/viewer/ViewerToolbarRow.h"

#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>

#include <memory>

namespace {

using ViewerParts::editor;
using ViewerParts::pageView;
using ViewerParts::palette;
using ViewerParts::presenting;
using ViewerParts::press;
using ViewerParts::shownBook;

template <typename T> T *named(const PdfViewerWindowController &viewer, const char *name)
{
    return viewer.findChild<T *>(QLatin1String(name));
}

// The toolbar button with this text, if there is one.
QPushButton *toolbarButton(const PdfViewerWindowController &viewer, const QString &text)
{
    for (QPushButton *button : viewer.findChild<ViewerToolbarRow *>()->findChildren<QPushButton *>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

// The pairing in force, as the "Cover page" toggle shows it.
bool coverPageRemoved(const PdfViewerWindowController &viewer)
{
    return ViewerParts::button(viewer, "coverPageButton")->isChecked();
}

using Viewer = std::unique_ptr<PdfViewerWindowController>;
using Items = std::optional<QList<PlaylistItem>>;

// Grants every measure at once and counts what is held.
class GrantingBackend : public KeepAwakeBackend {
public:
    int held = 0;
    int requests = 0;
    void acquire(KeepAwakeMeasure, const QString &, Granted done) override
    {
        ++requests;
        ++held;
        done(Handle(requests), QString());
    }
    void release(KeepAwakeMeasure, Handle, Released done) override
    {
        --held;
        done(QString());
    }
};

BookmarkEntry title(const QString &path, qint64 page, const QString &name, qint64 span = 1)
{
    BookmarkEntry entry = Fixtures::bookmark(path, page, name);
    entry.pageSpan = span;
    return entry;
}

PlaylistItem item(const QString &path, qint64 page, const QString &name, qint64 span = 1)
{
    return PlaylistItem::fromBookmark(title(path, page, name, span));
}

PdfFixtures::Page page(const QSizeF &size, int rotation = 0, const QRectF &cropBox = QRectF())
{
    PdfFixtures::Page page;
    page.size = size;
    page.rotation = rotation;
    page.cropBox = cropBox;
    return page;
}

QList<int> visiblePages(const PdfViewerWindowController &viewer)
{
    return pageView(viewer)->visiblePages();
}

QString field(const PdfViewerWindowController &viewer)
{
    return ViewerParts::pageField(viewer);
}

QString label(const PdfViewerWindowController &viewer)
{
    return ViewerParts::titleLabel(viewer);
}

// The scale of the page fitted into the view, as "Fit" sets it.
double fitted(const PdfViewerWindowController &viewer)
{
    press(viewer, "fitButton");
    return pageView(viewer)->scaleFactor();
}

void waitForImages(PdfViewerWindowController &viewer)
{
    WAIT_VERIFY(pageView(viewer)->shownForTesting().imagesComplete);
}

// ---- Drawing on the pages as the mouse does

void mouse(PdfViewerWindowController &viewer, QEvent::Type type, const QPointF &at,
           Qt::MouseButtons buttons = Qt::LeftButton)
{
    QWidget *area = pageView(viewer)->viewport();
    QMouseEvent event(type, at, area->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(area, &event);
}

// The view point at a fraction of a shown page.
QPointF onPage(const PdfViewerWindowController &viewer, int page, const QPointF &fraction)
{
    const QRectF rect = pageView(viewer)->shownForTesting().pageRects.value(page);
    return rect.topLeft() + QPointF(fraction.x() * rect.width(), fraction.y() * rect.height());
}

// A press at the first point, a move to each further one, a release at the last.
void drag(PdfViewerWindowController &viewer, const QList<QPointF> &points)
{
    mouse(viewer, QEvent::MouseButtonPress, points.first());
    for (const QPointF &point : points.mid(1))
        mouse(viewer, QEvent::MouseMove, point);
    mouse(viewer, QEvent::MouseButtonRelease, points.last(), Qt::NoButton);
}

// What the book's annotation file holds once the background writes are done.
PdfEditCacheFile stored(const QString &book)
{
    StateFile::waitForAllPendingWrites();
    return PdfEditCacheCodec::load(book).file;
}

bool fileExists(const QString &book)
{
    StateFile::waitForAllPendingWrites();
    return QFile::exists(*PdfEditCacheCodec::filePath(book));
}

StrokeRecord penLine(double y)
{
    return StrokeRecord{{{100, y}, {300, y}}, {1, 0, 0, 1}, 3, 1, false};
}

QMessageBox *notice(const PdfViewerWindowController &viewer)
{
    return viewer.findChild<QMessageBox *>(QStringLiteral("viewerNotice"));
}

// Types text into the prompt and confirms it with its default button.
std::function<void(QDialog *)> typing(const QString &text)
{
    return [text](QDialog *dialog) {
        dialog->findChild<QLineEdit *>()->setText(text);
        for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
            if (button->isDefault())
                button->click();
        }
    };
}

} // namespace

class PdfViewerTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    GrantingBackend m_backend;
    std::unique_ptr<AppContext> m_context;
    QString m_book11;
    QString m_book60;
    QString m_mixed;
    QString m_huge;

    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

    // Shown, its annotations read, in edit mode when asked.
    Viewer shown(const QString &book, qint64 page, bool edit = true, const Items &items = std::nullopt)
    {
        Viewer viewer = open(book, page, std::nullopt, items);
        viewer->resize(900, 700);
        viewer->show();
        if (!QTest::qWaitForWindowExposed(viewer.get(), TestHarness::hangGuardMs) ||
            !TestHarness::waitFor([&] { return editor(*viewer).annotations().isReady(); },
                                  TestHarness::hangGuard))
            qWarning("the viewer did not show its book");
        if (edit)
            editor(*viewer).toggleEditMode();
        return viewer;
    }

    Viewer open(const QString &book, qint64 page, const std::optional<BookmarkEntry> &entry = std::nullopt,
                const Items &items = std::nullopt, qint64 index = 0, const BookmarkList &sources = {})
    {
        return std::make_unique<PdfViewerWindowController>(*m_context, book, page, entry, items, index,
                                                           sources);
    }

private Q_SLOTS:
    void init() { TestHarness::clearUserFiles(); }
    // A viewer closed at the end of a test writes its annotations in the background.
    void cleanup() { StateFile::waitForAllPendingWrites(); }

    void initTestCase()
    {
        KeepAwakeBackend::setSharedForTesting(&m_backend);
        m_context = std::make_unique<AppContext>();
        m_book11 = path("eleven.pdf");
        m_book60 = path("sixty.pdf");
        m_mixed = path("mixed.pdf");
        m_huge = path("huge.pdf");
        PdfFixtures::write(m_book11, QList<PdfFixtures::Page>(11));
        PdfFixtures::write(m_book60, QList<PdfFixtures::Page>(60));
        PdfFixtures::write(m_mixed, {page(QSizeF(600, 800)), page(QSizeF(800, 600), 90),
                                     page(QSizeF(600, 800), 270, QRectF(50, 100, 400, 500)),
                                     page(QSizeF(600, 800), 180, QRectF(0, 0, 600, 700))});
        PdfFixtures::write(m_huge, {page(QSizeF(14400, 14400))});
    }

    void cleanupTestCase() { KeepAwakeBackend::setSharedForTesting(nullptr); }

    // ---- Construction and lifecycle

    void constructorClampsAndSorts_data()
    {
        QTest::addColumn<qint64>("page");
        QTest::addColumn<int>("items"); // -1: no list
        QTest::addColumn<qint64>("index");
        QTest::addColumn<QString>("shownPage");
        QTest::addColumn<QString>("previous"); // the title before the current one in the list
        QTest::newRow("page 0 opens page 1") << 0LL << -1 << 0LL << "1"
                                             << "";
        QTest::newRow("negative page") << -5LL << -1 << 4LL << "1"
                                       << "";
        QTest::newRow("index above the items: their number") << 3LL << 3 << 5LL << "3"
                                                             << "T2";
        QTest::newRow("negative index") << 3LL << 3 << -2LL << "3"
                                        << "";
        QTest::newRow("index inside") << 3LL << 3 << 1LL << "3"
                                      << "T0";
        QTest::newRow("empty list") << 3LL << 0 << 1LL << "3"
                                    << "";
    }

    void constructorClampsAndSorts()
    {
        QFETCH(qint64, page);
        QFETCH(int, items);
        QFETCH(qint64, index);
        Items list;
        if (items >= 0) {
            list.emplace();
            for (int i = 0; i < items; ++i)
                list->append(item(m_book11, i + 1, QStringLiteral("T%1").arg(i)));
        }
        const BookmarkList sources = {title(m_book11, 5, QStringLiteral("b")),
                                      title(m_book11, 2, QStringLiteral("Z")),
                                      title(m_book11, 5, QStringLiteral("A"))};
        const Viewer viewer = open(m_book11, page, std::nullopt, list, index, sources);
        QTEST(field(*viewer), "shownPage");
        QTEST(ViewerParts::previousTitle(*viewer), "previous");
        QCOMPARE(viewer->windowTitle(), QStringLiteral("eleven.pdf"));
        // Of two titles that start on the same page, the label names the first by title.
        if (items < 0) {
            named<QLineEdit>(*viewer, "pageNumberField")->setText(QStringLiteral("5"));
            QTest::keyClick(named<QLineEdit>(*viewer, "pageNumberField"), Qt::Key_Return);
            QCOMPARE(label(*viewer), QStringLiteral("A"));
        }
        // The log shows the page as it was passed in.
        const QByteArray log = TestHarness::readFile(PdfViewLog::path());
        QVERIFY(log.contains("PdfViewerWindowController init path=" + m_book11.toUtf8() +
                             " page=" + QByteArray::number(page) + "\n"));
    }

    // Showing a viewer closes the current one, which leaves the open viewers; it tells its closing once.
    void oneCurrentViewer()
    {
        OpenViewers &viewers = m_context->viewers();
        ViewerOpenRequest request;
        request.pdfPath = m_book11;
        request.pageNumber = 1;
        auto *first = viewers.openSong(request);
        QSignalSpy firstClosed(first, &PdfViewerWindowController::closed);
        QPointer<PdfViewerWindowController> firstGuard(first);
        QCOMPARE(ViewerParts::openViewers(), QList<PdfViewerWindowController *>({first}));
        QCOMPARE(m_backend.held, 2);

        request.pdfPath = m_book60;
        auto *second = viewers.openSong(request);
        QCOMPARE(firstClosed.size(), 1);
        QCOMPARE(ViewerParts::openViewers(), QList<PdfViewerWindowController *>({second}));
        WAIT_VERIFY(!firstGuard); // deleted once the event loop turns
        QCOMPARE(m_backend.held, 2);

        // Shown again, it stays the one open.
        second->showWindow();
        QVERIFY(second->isVisible());
        QCOMPARE(ViewerParts::openViewers(), QList<PdfViewerWindowController *>({second}));

        QSignalSpy secondClosed(second, &PdfViewerWindowController::closed);
        press(*second, "closeButton");
        QVERIFY(ViewerParts::openViewers().isEmpty());
        QCOMPARE(m_backend.held, 0);
        second->close();
        QCOMPARE(secondClosed.size(), 1);
        QTest::qWait(0);
    }

    // ---- Floating title buttons

    void floatingTitleButtons_data()
    {
        QTest::addColumn<int>("items"); // -1: no list
        QTest::addColumn<qint64>("index");
        QTest::addColumn<QString>("previous");
        QTest::addColumn<bool>("previousEnabled");
        QTest::addColumn<QString>("next");
        QTest::addColumn<bool>("nextEnabled");
        const QString forty = QString(40, QLatin1Char('n'));
        QTest::newRow("first of three")
            << 3 << 0LL << "Previous title" << false
            << QString(31, QLatin1Char('n')) + QStringLiteral("\u2026  \u25B6") << true;
        QTest::newRow("last of three")
            << 3 << 2LL << QStringLiteral("\u25C0  ") + QString(31, QLatin1Char('n')) + QChar(0x2026) << true
            << "Next title" << false;
        QTest::newRow("one past the end")
            << 3 << 3LL << QStringLiteral("\u25C0  Last") << true << "Next title" << false;
    }

    void floatingTitleButtons()
    {
        QFETCH(int, items);
        QFETCH(qint64, index);
        const QList<PlaylistItem> list = {item(m_book11, 1, QStringLiteral("First")),
                                          item(m_book11, 2, QString(40, QLatin1Char('n'))),
                                          item(m_book11, 3, QStringLiteral(" Last "))};
        const Viewer viewer = open(m_book11, 1, std::nullopt, list.mid(0, items), index);
        QVERIFY(named<QWidget>(*viewer, "floatingTitleNav")->isVisibleTo(viewer.get()));
        QTEST(named<QPushButton>(*viewer, "floatingPreviousTitle")->text(), "previous");
        QTEST(named<QPushButton>(*viewer, "floatingPreviousTitle")->isEnabled(), "previousEnabled");
        QTEST(named<QPushButton>(*viewer, "floatingNextTitle")->text(), "next");
        QTEST(named<QPushButton>(*viewer, "floatingNextTitle")->isEnabled(), "nextEnabled");
        QVERIFY(named<QPushButton>(*viewer, "previousTitleButton"));
        QVERIFY(!named<QPushButton>(*viewer, "addToPlaylistButton"));
    }

    // The viewer's texts are English in every language, also where a row of the language table matches
    // them; only the floating title buttons' fallback titles follow the language, at once on a switch.
    void languages()
    {
        LyrafoldLanguageService::setCurrent(LyrafoldLanguage::es);
        const auto restore = qScopeGuard([] { LyrafoldLanguageService::setCurrent(LyrafoldLanguage::en); });
        const Viewer viewer =
            open(m_book11, 1, std::nullopt, QList<PlaylistItem>{item(m_book11, 1, QStringLiteral("A"))});
        QCOMPARE(named<QPushButton>(*viewer, "floatingPreviousTitle")->text(),
                 QStringLiteral("T\u00edtulo anterior"));
        QCOMPARE(named<QPushButton>(*viewer, "floatingNextTitle")->text(),
                 QStringLiteral("T\u00edtulo siguiente"));
        const auto english = [&viewer] {
            return toolbarButton(*viewer, QStringLiteral("Close")) &&
                   toolbarButton(*viewer, QStringLiteral("Fullscreen")) &&
                   toolbarButton(*viewer, QStringLiteral("Previous title")) &&
                   named<QLabel>(*viewer, "totalPagesLabel")->text() == QStringLiteral("of 11") &&
                   named<QPushButton>(*viewer, "editButton")->text() == QStringLiteral("Edit");
        };
        QVERIFY(english());

        LyrafoldLanguageService::setCurrent(LyrafoldLanguage::tr);
        QCoreApplication::processEvents();
        QCOMPARE(named<QPushButton>(*viewer, "floatingPreviousTitle")->text(),
                 QStringLiteral("Önceki başlık"));
        QVERIFY(english());

        // The edit palette's fixed width keeps the longer words of its labels and commands whole.
        named<QPushButton>(*viewer, "editButton")->click();
        auto *palette = viewer->findChild<PdfEditInspectorView *>();
        const auto cutTexts = [palette] {
            QCoreApplication::processEvents();
            palette->layout()->activate();
            QStringList cut;
            for (const QWidget *control : palette->findChildren<QWidget *>()) {
                const auto *label = qobject_cast<const QLabel *>(control);
                const auto *button = qobject_cast<const QPushButton *>(control);
                const QString text = label ? label->text() : button ? button->text() : QString();
                const int frame = button ? 8 : 0;
                if (control->fontMetrics().horizontalAdvance(text) + frame > control->width())
                    cut.append(text);
            }
            return cut;
        };
        QCOMPARE(cutTexts(), QStringList());
        LyrafoldLanguageService::setCurrent(LyrafoldLanguage::es);
        QCOMPARE(cutTexts(), QStringList());
    }

    void withoutListOrTitle()
    {
        const Viewer plain = open(m_book11, 1);
        QVERIFY(!named<QWidget>(*plain, "floatingTitleNav")->isVisibleTo(plain.get()));
        QVERIFY(!named<QPushButton>(*plain, "previousTitleButton"));
        QVERIFY(!named<QPushButton>(*plain, "nextTitleButton"));
        QVERIFY(!named<QPushButton>(*plain, "addToPlaylistButton"));
        const Viewer titled = open(m_book11, 1, title(m_book11, 1, QStringLiteral("Song")));
        QVERIFY(named<QPushButton>(*titled, "addToPlaylistButton"));
        QCOMPARE(label(*titled), QStringLiteral("Song"));
    }

    // Every toolbar control can be reached: shown whole in the row, side by side, or waiting in the
    // overflow menu, whose entries do what their buttons do.
    void toolbarFits_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("playlist");
        QTest::addColumn<bool>("overflows");
        QTest::newRow("default size") << QSize(900, 700) << false << true;
        QTest::newRow("default size, a list") << QSize(900, 700) << true << true;
        QTest::newRow("minimum size, a list") << QSize(520, 420) << true << true;
        QTest::newRow("wide") << QSize(1800, 800) << true << false;
    }

    void toolbarFits()
    {
        QFETCH(QSize, size);
        QFETCH(bool, playlist);
        const Items list =
            playlist ? Items(QList<PlaylistItem>{item(m_book11, 1, QStringLiteral("A"))}) : std::nullopt;
        const Viewer viewer = open(m_book11, 1, title(m_book11, 1, QStringLiteral("Song")), list);
        viewer->resize(size);
        viewer->show();
        QVERIFY(QTest::qWaitForWindowExposed(viewer.get(), TestHarness::hangGuardMs));
        QCOMPARE(viewer->size(), size);
        ViewerToolbarRow *row = viewer->findChild<ViewerToolbarRow *>();
        QTEST(row->overflowButton()->isVisible(), "overflows");

        QList<QRect> shown;
        for (QWidget *control : row->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (control->isVisible()) {
                QVERIFY2(row->rect().contains(control->geometry()), qPrintable(control->objectName()));
                for (const QRect &other : std::as_const(shown))
                    QVERIFY(!other.intersects(control->geometry()));
                shown.append(control->geometry());
            }
        }
        QVERIFY(named<QLineEdit>(*viewer, "pageNumberField")->isVisible());
        QVERIFY(named<QPushButton>(*viewer, "nextPageButton")->isVisible());

        QMenu *menu = row->overflowButton()->menu();
        menu->popup(QPoint());
        QStringList inMenu;
        for (const QAction *action : menu->actions())
            inMenu.append(action->text());
        for (QAbstractButton *button : row->findChildren<QAbstractButton *>(Qt::FindDirectChildrenOnly)) {
            // Named in words where the button shows a symbol.
            const QString name =
                button->accessibleName().isEmpty() ? button->text() : button->accessibleName();
            if (button != row->overflowButton())
                QCOMPARE(inMenu.contains(name), !button->isVisible());
        }
        if (QAction *cover = menu->actions().value(inMenu.indexOf(QStringLiteral("Cover page")))) {
            cover->trigger();
            QVERIFY(coverPageRemoved(*viewer));
        }
        menu->close();
    }

    // ---- Pages

    void pageMoves_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<qint64>("openAt");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("browsed");
        QTest::newRow("next on the last page does nothing")
            << "11" << 11LL << QStringList{"next"} << "11" << false;
        QTest::newRow("previous on page 1 does nothing")
            << "11" << 1LL << QStringList{"previous"} << "1" << false;
        QTest::newRow("next and previous")
            << "11" << 4LL << QStringList{"next", "next", "previous"} << "5" << true;
        QTest::newRow("two-up from index 9: 10, then nothing")
            << "11" << 10LL << QStringList{"2-Page", "next", "next"} << "11" << true;
        QTest::newRow("two-up turns two") << "11" << 3LL << QStringList{"2-Page", "next"} << "5" << true;
        QTest::newRow("first and last") << "11" << 5LL << QStringList{"last"} << "11" << true;
        QTest::newRow("first") << "11" << 5LL << QStringList{"first"} << "1" << true;
        QTest::newRow("field 0") << "11" << 5LL << QStringList{"field 0"} << "1" << true;
        QTest::newRow("field -3") << "11" << 5LL << QStringList{"field -3"} << "1" << true;
        QTest::newRow("field +2") << "11" << 5LL << QStringList{"field +2"} << "2" << true;
        QTest::newRow("field 300") << "11" << 5LL << QStringList{"field 300"} << "11" << true;
        QTest::newRow("field abc puts the page back")
            << "11" << 5LL << QStringList{"field abc"} << "5" << false;
        QTest::newRow("field of 20 digits")
            << "11" << 5LL << QStringList{"field 12345678901234567890"} << "5" << false;
        QTest::newRow("a page past the end opens the first") << "11" << 30LL << QStringList{} << "1" << false;
        QTest::newRow("Single goes back to the title's start")
            << "60" << 12LL << QStringList{"field 40", "Single"} << "12" << true;
    }

    void pageMoves()
    {
        QFETCH(QString, book);
        QFETCH(qint64, openAt);
        QFETCH(QStringList, actions);
        const QString path = book == QLatin1String("11") ? m_book11 : m_book60;
        // Opened for a title, the label shows it until the user moves through the pages.
        const Viewer viewer = open(path, openAt, title(path, openAt, QStringLiteral("Opened")), std::nullopt,
                                   0, {title(path, 1, QStringLiteral("Browsed"), 1000)});
        for (const QString &action : actions) {
            if (action == QLatin1String("next"))
                press(*viewer, "nextPageButton");
            else if (action == QLatin1String("previous"))
                press(*viewer, "previousPageButton");
            else if (action == QLatin1String("first"))
                press(*viewer, "firstPageButton");
            else if (action == QLatin1String("last"))
                press(*viewer, "lastPageButton");
            else if (action.startsWith(QLatin1String("field "))) {
                named<QLineEdit>(*viewer, "pageNumberField")->setText(action.mid(6));
                QTest::keyClick(named<QLineEdit>(*viewer, "pageNumberField"), Qt::Key_Return);
            } else
                press(*viewer, action == QLatin1String("Single") ? "singlePageButton" : "twoPageButton");
        }
        QTEST(field(*viewer), "page");
        QFETCH(bool, browsed);
        QCOMPARE(label(*viewer), browsed ? QStringLiteral("Browsed") : QStringLiteral("Opened"));
    }

    // The title label keeps the title opened until the first page move, then follows the library.
    void titleLabelFollowsThePages()
    {
        const BookmarkList sources = {title(m_book11, 3, QStringLiteral("Intro"), 3),
                                      title(m_book11, 4, QStringLiteral("Verse"))};
        const Viewer single =
            open(m_book11, 4, title(m_book11, 4, QStringLiteral("Verse")), std::nullopt, 0, sources);
        QCOMPARE(label(*single), QStringLiteral("Verse"));
        press(*single, "nextPageButton");
        QCOMPARE(label(*single), QStringLiteral("Intro"));
        press(*single, "lastPageButton");
        QCOMPARE(label(*single), QStringLiteral("Verse"));

        const QList<PlaylistItem> list = {item(m_book11, 4, QStringLiteral("Listed"))};
        const Viewer listed = open(m_book11, 4, std::nullopt, list, 0, sources);
        press(*listed, "firstPageButton");
        QCOMPARE(label(*listed), QStringLiteral("Listed"));
    }

    // ---- Display modes

    void twoPageSpreads_data()
    {
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("span");
        QTest::addColumn<bool>("coverRemoved");
        QTest::addColumn<QList<int>>("pages");
        QTest::newRow("three pages from 1: (1, 2)") << 1LL << 3LL << true << QList<int>{0, 1};
        QTest::newRow("three pages from 2: cover kept, (2, 3)") << 2LL << 3LL << false << QList<int>{1, 2};
        QTest::newRow("two pages from 5") << 5LL << 2LL << true << QList<int>{4, 5};
        QTest::newRow("one page from 1: the cover alone") << 1LL << 1LL << false << QList<int>{0};
    }

    void twoPageSpreads()
    {
        QFETCH(qint64, start);
        QFETCH(qint64, span);
        const Viewer viewer = open(m_book11, start, title(m_book11, start, QStringLiteral("T"), span));
        press(*viewer, "twoPageButton");
        QTEST(coverPageRemoved(*viewer), "coverRemoved");
        QTEST(ViewerParts::button(*viewer, "coverPageButton")->isChecked(), "coverRemoved");
        QTEST(visiblePages(*viewer), "pages");
        QCOMPARE(pageView(*viewer)->displayMode(), PageDisplayMode::twoUp);
    }

    void coverToggleAndSingle()
    {
        const Viewer viewer = open(m_book11, 3, title(m_book11, 3, QStringLiteral("T"), 2));
        press(*viewer, "twoPageButton");
        QCOMPARE(visiblePages(*viewer), QList<int>({2, 3}));
        press(*viewer, "coverPageButton");
        QVERIFY(!coverPageRemoved(*viewer));
        QCOMPARE(visiblePages(*viewer), QList<int>({1, 2}));
        press(*viewer, "singlePageButton");
        QVERIFY(!coverPageRemoved(*viewer));
        QCOMPARE(visiblePages(*viewer), QList<int>({2}));
        // In single-page mode the toggle flips and returns to the start page, without spreads.
        press(*viewer, "lastPageButton");
        press(*viewer, "coverPageButton");
        QVERIFY(coverPageRemoved(*viewer));
        QCOMPARE(visiblePages(*viewer), QList<int>({2}));

        const Viewer empty = open(path("missing.pdf"), 1);
        press(*empty, "twoPageButton");
        QCOMPARE(pageView(*empty)->displayMode(), PageDisplayMode::twoUp);
        press(*empty, "coverPageButton");
        QVERIFY(!coverPageRemoved(*empty));
    }

    // A step through the list keeps the display mode and the pairing; a fresh open starts single.
    void titleStepsKeepTheViewMode()
    {
        const QList<PlaylistItem> list = {item(m_book11, 1, QStringLiteral("A"), 2),
                                          item(m_book60, 7, QStringLiteral("B"))};
        const Viewer viewer = open(m_book11, 1, std::nullopt, list, 0);
        press(*viewer, "twoPageButton");
        QVERIFY(coverPageRemoved(*viewer));
        QTest::keyClick(named<QLineEdit>(*viewer, "pageNumberField"), Qt::Key_Down);
        QCOMPARE(label(*viewer), QStringLiteral("B"));
        QCOMPARE(shownBook(*viewer), m_book60);
        QCOMPARE(pageView(*viewer)->displayMode(), PageDisplayMode::twoUp);
        QVERIFY(coverPageRemoved(*viewer));
        QCOMPARE(visiblePages(*viewer), QList<int>({6, 7}));
        QCOMPARE(viewer->windowTitle(), QStringLiteral("sixty.pdf"));
        QCOMPARE(named<QPushButton>(*viewer, "floatingPreviousTitle")->text(), QStringLiteral("\u25C0  A"));
        QTest::keyClick(named<QLineEdit>(*viewer, "pageNumberField"), Qt::Key_Down); // at the end: nothing
        QCOMPARE(label(*viewer), QStringLiteral("B"));
        QTest::keyClick(named<QLineEdit>(*viewer, "pageNumberField"), Qt::Key_Up);
        QCOMPARE(label(*viewer), QStringLiteral("A"));

        // Another title of the book in view keeps the open book.
        const QList<PlaylistItem> sameBook = {item(m_book11, 1, QStringLiteral("A")),
                                              item(m_book11, 5, QStringLiteral("B")),
                                              item(m_book11, 40, QStringLiteral("C"))};
        const Viewer stepping = open(m_book11, 1, std::nullopt, sameBook, 0);
        const PdfDocumentPtr book = pageView(*stepping)->document();
        press(*stepping, "nextTitleButton");
        QCOMPARE(pageView(*stepping)->document(), book);
        QCOMPARE(field(*stepping), QStringLiteral("5"));
        press(*stepping, "nextTitleButton"); // its page lies past the book's end: the first page
        QCOMPARE(field(*stepping), QStringLiteral("1"));
        QCOMPARE(visiblePages(*stepping), QList<int>({0}));

        const Viewer fresh = open(m_book11, 1);
        QCOMPARE(pageView(*fresh)->displayMode(), PageDisplayMode::singlePage);
        QVERIFY(!coverPageRemoved(*fresh));
    }

    // A title whose book cannot be opened: the label says so and the old book's pages are not shown
    // under the new title; nothing is taken to be loaded from the failed path.
    void failedTitleStep()
    {
        const QString missing = path("gone/missing.pdf");
        const QList<PlaylistItem> list = {item(m_book11, 3, QStringLiteral("A")),
                                          item(missing, 2, QStringLiteral("B")),
                                          item(m_book60, 5, QStringLiteral("C"))};
        const Viewer viewer = open(m_book11, 3, std::nullopt, list, 0);
        QCOMPARE(shownBook(*viewer), m_book11);
        press(*viewer, "nextTitleButton");
        QCOMPARE(shownBook(*viewer), QString());
        QVERIFY(!pageView(*viewer)->document());
        QVERIFY(visiblePages(*viewer).isEmpty());
        QCOMPARE(label(*viewer), QStringLiteral("Could not open missing.pdf"));
        QCOMPARE(pageView(*viewer)->shownForTesting().message,
                 QStringLiteral("The file %1 does not exist.").arg(missing));
        QCOMPARE(field(*viewer), QStringLiteral("1"));
        QCOMPARE(named<QLabel>(*viewer, "totalPagesLabel")->text(), QStringLiteral("of 0"));
        QCOMPARE(viewer->windowTitle(), QStringLiteral("missing.pdf"));
        QCOMPARE(named<QPushButton>(*viewer, "floatingNextTitle")->text(), QStringLiteral("C  \u25B6"));
        press(*viewer, "nextPageButton"); // nothing to turn
        QCOMPARE(field(*viewer), QStringLiteral("1"));

        press(*viewer, "nextTitleButton");
        QCOMPARE(shownBook(*viewer), m_book60);
        QCOMPARE(label(*viewer), QStringLiteral("C"));
        QVERIFY(!viewer->openError() && pageView(*viewer)->shownForTesting().message.isEmpty());
        QCOMPARE(field(*viewer), QStringLiteral("5"));
        QVERIFY(TestHarness::readFile(PdfViewLog::path()).contains("loadDocument FAILED: PDFDocument nil"));

        const Viewer first = open(missing, 1, title(missing, 1, QStringLiteral("B")));
        QCOMPARE(label(*first), QStringLiteral("Could not open missing.pdf"));
        QCOMPARE(named<QLabel>(*first, "totalPagesLabel")->text(), QStringLiteral("of 0"));
    }

    // ---- Fit and zoom

    void fitsThePage_data()
    {
        QTest::addColumn<int>("page"); // of the mixed book, 1-based
        QTest::addColumn<bool>("twoUp");
        QTest::addColumn<QSizeF>("shown");
        QTest::newRow("portrait") << 1 << false << QSizeF(600, 800);
        QTest::newRow("portrait, two-up") << 1 << true << QSizeF(600, 800);
        QTest::newRow("landscape turned a quarter") << 2 << false << QSizeF(600, 800);
        QTest::newRow("cropped, turned three quarters") << 3 << false << QSizeF(500, 400);
    }

    void fitsThePage()
    {
        QFETCH(int, page);
        QFETCH(bool, twoUp);
        QFETCH(QSizeF, shown);
        const Viewer viewer = open(m_mixed, page);
        viewer->resize(1400, 800);
        viewer->show();
        QVERIFY(QTest::qWaitForWindowExposed(viewer.get(), TestHarness::hangGuardMs));
        if (twoUp)
            press(*viewer, "twoPageButton");
        press(*viewer, "fitButton");
        const QSizeF area = viewer->findChild<PDFScrollZoomWrapper *>()->size();
        const double expected = *ViewerZoom::fitScale(shown, area, twoUp);
        QCOMPARE(pageView(*viewer)->scaleFactor(), expected);
        QCOMPARE(pageView(*viewer)->shownForTesting().pageRects.value(page - 1).size(),
                 QSizeF(std::round(shown.width() * expected), std::round(shown.height() * expected)));

        press(*viewer, "zoomInButton");
        QCOMPARE(pageView(*viewer)->scaleFactor(), expected + 0.25);
        press(*viewer, "zoomOutButton");
        press(*viewer, "zoomOutButton");
        QCOMPARE(pageView(*viewer)->scaleFactor(), std::max(expected - 0.25, 0.25));
        press(*viewer, "fitButton");
        // A pinch and Ctrl with the wheel zoom through the page area.
        ViewerParts::pinch(*viewer, 0.5);
        QVERIFY(qFuzzyCompare(pageView(*viewer)->scaleFactor(), std::min(expected * 1.5, 4.0)));
        QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(pageView(*viewer)->viewport(), &wheel);
        QVERIFY(qFuzzyCompare(pageView(*viewer)->scaleFactor(), std::min(expected * 1.5, 4.0) * 0.9));
    }

    // A swipe turns one page; zoomed in, it turns nothing and the wheel scrolls the page instead.
    void swipesTurnPages()
    {
        const Viewer viewer = open(m_book11, 5);
        viewer->show();
        QVERIFY(QTest::qWaitForWindowExposed(viewer.get(), TestHarness::hangGuardMs));
        press(*viewer, "fitButton");
        using Phase = SwipeAccumulator::Phase;
        for (double dx : {-30.0, -30.0, -60.0, -60.0})
            viewer->findChild<PDFScrollZoomWrapper *>()->handleScrollSample(
                {dx, 0, Phase::none, false, 1000});
        QCOMPARE(field(*viewer), QStringLiteral("6"));
        viewer->findChild<PDFScrollZoomWrapper *>()->handleScrollSample({60, 0, Phase::none, false, 2000});
        QCOMPARE(field(*viewer), QStringLiteral("5"));

        ViewerParts::pinch(*viewer, 1.0);
        QVERIFY(!viewer->findChild<PDFScrollZoomWrapper *>()->handleScrollSample(
            {0, -40, Phase::none, false, 3000}));
        QVERIFY(viewer->findChild<PDFScrollZoomWrapper *>()->handleScrollSample(
            {-80, 0, Phase::none, false, 4000}));
        QCOMPARE(field(*viewer), QStringLiteral("5"));
        const int before = pageView(*viewer)->verticalScrollBar()->value();
        QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(0, -40), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(pageView(*viewer)->viewport(), &wheel);
        QVERIFY(pageView(*viewer)->verticalScrollBar()->value() > before);

        // Also in presentation mode, where the scroll bars are hidden.
        press(*viewer, "fullscreenButton");
        ViewerParts::pinch(*viewer, 1.0);
        const int presented = pageView(*viewer)->verticalScrollBar()->value();
        QApplication::sendEvent(pageView(*viewer)->viewport(), &wheel);
        QVERIFY(pageView(*viewer)->verticalScrollBar()->value() > presented);
    }

    // ---- Keys

    // Keys go to the page field or to the page, which has the keys when the window opens. Zoomed in,
    // the page is larger than the view and scrolls.
    void keys_data()
    {
        QTest::addColumn<bool>("playlist");
        QTest::addColumn<bool>("presentation");
        QTest::addColumn<bool>("zoomed");
        QTest::addColumn<bool>("inField");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("scrolled");
        QTest::addColumn<bool>("presentationAfter");
        const int none = Qt::NoModifier;
        const int shift = Qt::ShiftModifier;
        QTest::newRow("right, even in the page field")
            << false << false << false << true << int(Qt::Key_Right) << none << "6" << false << false;
        QTest::newRow("left") << false << false << false << false << int(Qt::Key_Left) << none << "4" << false
                              << false;
        QTest::newRow("right in presentation mode")
            << false << true << false << false << int(Qt::Key_Right) << none << "6" << false << true;
        QTest::newRow("Esc leaves presentation mode")
            << false << true << false << false << int(Qt::Key_Escape) << none << "5" << false << false;
        QTest::newRow("down with a list: the next title")
            << true << false << false << true << int(Qt::Key_Down) << none << "2" << false << false;
        QTest::newRow("down without a list, fitted: nothing")
            << false << false << false << false << int(Qt::Key_Down) << none << "5" << false << false;
        QTest::newRow("down without a list scrolls")
            << false << false << true << false << int(Qt::Key_Down) << none << "5" << true << false;
        QTest::newRow("down without a list scrolls in presentation mode")
            << false << true << true << false << int(Qt::Key_Down) << none << "5" << true << true;
        QTest::newRow("page down, from the page field")
            << false << false << false << true << int(Qt::Key_PageDown) << none << "6" << false << false;
        QTest::newRow("page down scrolls a page larger than the view")
            << false << false << true << false << int(Qt::Key_PageDown) << none << "5" << true << false;
        QTest::newRow("page up in presentation mode")
            << false << true << false << false << int(Qt::Key_PageUp) << none << "4" << false << true;
        QTest::newRow("space") << false << false << false << false << int(Qt::Key_Space) << none << "6"
                               << false << false;
        QTest::newRow("shift and space in presentation mode")
            << true << true << false << false << int(Qt::Key_Space) << shift << "4" << false << true;
        QTest::newRow("home") << false << false << false << false << int(Qt::Key_Home) << none << "1" << false
                              << false;
        QTest::newRow("end in presentation mode")
            << false << true << false << false << int(Qt::Key_End) << none << "11" << false << true;
    }

    void keys()
    {
        QFETCH(bool, playlist);
        QFETCH(bool, presentation);
        QFETCH(bool, zoomed);
        QFETCH(bool, inField);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        const Items list = playlist ? Items(QList<PlaylistItem>{item(m_book11, 5, QStringLiteral("A")),
                                                                item(m_book11, 2, QStringLiteral("B"))})
                                    : std::nullopt;
        const Viewer viewer = open(m_book11, 5, std::nullopt, list);
        viewer->show();
        QVERIFY(QTest::qWaitForWindowExposed(viewer.get(), TestHarness::hangGuardMs));
        WAIT_COMPARE(QApplication::focusWidget(), pageView(*viewer));
        if (presentation)
            press(*viewer, "fullscreenButton");
        const double fit = fitted(*viewer);
        if (zoomed)
            pageView(*viewer)->setScaleFactor(fit * 2);
        QScrollBar *scroll = pageView(*viewer)->verticalScrollBar();
        const int before = scroll->value();
        QWidget *target = inField ? static_cast<QWidget *>(named<QLineEdit>(*viewer, "pageNumberField"))
                                  : pageView(*viewer);
        QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QTEST(field(*viewer), "page");
        QTEST(scroll->value() > before, "scrolled");
        QTEST(presenting(*viewer), "presentationAfter");
    }

    // A page typed into the field hands the keys back to the page.
    void pageFieldGivesTheKeysBack()
    {
        const Viewer viewer = open(m_book11, 5);
        viewer->show();
        QVERIFY(QTest::qWaitForWindowExposed(viewer.get(), TestHarness::hangGuardMs));
        named<QLineEdit>(*viewer, "pageNumberField")->setFocus();
        named<QLineEdit>(*viewer, "pageNumberField")->setText(QStringLiteral("8"));
        QTest::keyClick(named<QLineEdit>(*viewer, "pageNumberField"), Qt::Key_Return);
        QCOMPARE(field(*viewer), QStringLiteral("8"));
        WAIT_COMPARE(QApplication::focusWidget(), pageView(*viewer));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(field(*viewer), QStringLiteral("9"));
    }

    // ---- Presentation mode

    void presentationMode()
    {
        QWidget other;
        other.setWindowTitle(QStringLiteral("library"));
        other.show();
        const Viewer viewer = open(m_book11, 2);
        viewer->showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(viewer.get(), TestHarness::hangGuardMs));

        press(*viewer, "fullscreenButton");
        QVERIFY(presenting(*viewer));
        QVERIFY(viewer->isFullScreen());
        QVERIFY(!viewer->findChild<ViewerToolbarRow *>()->isVisible());
        QVERIFY(!other.isVisible());
        QVERIFY(named<QPushButton>(*viewer, "floatingExitFullscreen")->isVisible());
        QVERIFY(!named<QWidget>(*viewer, "floatingTitleNav")->isVisible());
        QCOMPARE(pageView(*viewer)->shownForTesting().background, QColor(Qt::black));
        WAIT_VERIFY(!pageView(*viewer)->shownForTesting().scrollBarsShown);
        // The tool palette keeps its own colours on the black: its labels stay readable.
        editor(*viewer).toggleEditMode();
        const QPalette tools = viewer->findChild<PdfEditInspectorView *>()->palette();
        QCOMPARE(tools.color(QPalette::Window), QApplication::palette().color(QPalette::Window));
        QCOMPARE(tools.color(QPalette::WindowText), QApplication::palette().color(QPalette::WindowText));
        editor(*viewer).toggleEditMode();

        press(*viewer, "floatingExitFullscreen");
        QVERIFY(!presenting(*viewer));
        QVERIFY(!viewer->isFullScreen());
        QVERIFY(viewer->findChild<ViewerToolbarRow *>()->isVisible());
        QVERIFY(other.isVisible());
        QVERIFY(!named<QPushButton>(*viewer, "floatingExitFullscreen")->isVisible());
        QVERIFY(pageView(*viewer)->shownForTesting().scrollBarsShown);
        QVERIFY(pageView(*viewer)->shownForTesting().background != QColor(Qt::black));

        // A maximized window is maximized again afterwards.
        viewer->showMaximized();
        press(*viewer, "fullscreenButton");
        QVERIFY(viewer->isFullScreen());
        press(*viewer, "floatingExitFullscreen");
        QVERIFY(viewer->isMaximized());
        QVERIFY(!viewer->isFullScreen());

        // Closing in presentation mode brings the hidden windows back first.
        press(*viewer, "fullscreenButton");
        QVERIFY(!other.isVisible());
        viewer->close();
        QVERIFY(!viewer->isFullScreen());
        QVERIFY(other.isVisible());
    }

    void presentationModeWithAList()
    {
        const QList<PlaylistItem> list = {item(m_book11, 1, QStringLiteral("A")),
                                          item(m_book11, 2, QStringLiteral("B"))};
        const Viewer viewer = open(m_book11, 1, std::nullopt, list, 0);
        viewer->showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(viewer.get(), TestHarness::hangGuardMs));
        press(*viewer, "fullscreenButton");
        QVERIFY(named<QWidget>(*viewer, "floatingTitleNav")->isVisible());
        QVERIFY(named<QPushButton>(*viewer, "floatingNextTitle")
                    ->styleSheet()
                    .contains(QStringLiteral("rgba(255, 255, 255, 0.42)")));
        press(*viewer, "floatingExitFullscreen");
        QVERIFY(named<QWidget>(*viewer, "floatingTitleNav")->isVisible());
        QVERIFY(named<QPushButton>(*viewer, "floatingNextTitle")
                    ->styleSheet()
                    .contains(QStringLiteral("rgba(255, 255, 255, 0.58)")));
        viewer->close();
    }

    // ---- Annotations

    // The book's annotation file: read when the book opens, written after each change, gone when
    // nothing is left, back with an undo; what a viewer leaves, the next one finds.
    void annotationFileFollowsTheBook()
    {
        PdfEditCacheFile file;
        file.strokesByPage.insert(0, {penLine(700)});
        QVERIFY(PdfEditCacheCodec::save(m_book11, file));
        Viewer viewer = shown(m_book11, 1);
        QCOMPARE(editor(*viewer).annotations().document().pages(), file);

        drag(*viewer, {onPage(*viewer, 0, {0.3, 0.5}), onPage(*viewer, 0, {0.6, 0.5})});
        QCOMPARE(stored(m_book11).strokesByPage.value(0).size(), 2);
        {
            ModalAnswer clear(QStringLiteral("Clear"));
            palette(*viewer).clearBookButton()->click();
            QCOMPARE(clear.messages, QStringList{QStringLiteral("Clear entire book edits?")});
        }
        QVERIFY(!fileExists(m_book11));
        palette(*viewer).undoButton()->click();
        QCOMPARE(stored(m_book11).strokesByPage.value(0).size(), 2);
        viewer->close();
        viewer = shown(m_book11, 1, false);
        QCOMPARE(editor(*viewer).annotations().document().pages().strokesByPage.value(0).size(), 2);
        QVERIFY(!editor(*viewer).annotations().document().canUndo());
    }

    // A file that cannot be read is moved aside before anything writes its name, and the user is told
    // which book's annotations went where, in a notice no wider than the viewer at its smallest.
    void unreadableFileIsSetAside()
    {
        const QString path = *PdfEditCacheCodec::filePath(m_book11);
        TestHarness::writeFile(path, "{\"strokesByPage\":");
        const Viewer viewer = shown(m_book11, 1);
        WAIT_VERIFY(notice(*viewer));
        QCOMPARE(
            notice(*viewer)->text(),
            QStringLiteral("The annotations of %1 could not be read.").arg(QFileInfo(m_book11).fileName()));
        const QStringList aside =
            QDir(QFileInfo(path).path())
                .entryList({QFileInfo(path).fileName() + QStringLiteral(".unreadable-*")});
        QCOMPARE(aside.size(), 1);
        const QString told = notice(*viewer)->informativeText();
        QVERIFY2(
            told.contains(QStringLiteral("/PDFEditCache, ")) &&
                told.contains(aside.first().mid(aside.first().lastIndexOf(QStringLiteral(".unreadable-")))),
            qPrintable(told));
        WAIT_VERIFY(notice(*viewer)->isVisible());
        QVERIFY2(notice(*viewer)->width() <= viewer->minimumWidth(),
                 qPrintable(QString::number(notice(*viewer)->width())));
        drag(*viewer, {onPage(*viewer, 0, {0.3, 0.5}), onPage(*viewer, 0, {0.6, 0.5})});
        QCOMPARE(stored(m_book11).strokesByPage.value(0).size(), 1);
        QCOMPARE(TestHarness::readFile(QFileInfo(path).path() + QLatin1Char('/') + aside.first()),
                 QByteArray("{\"strokesByPage\":"));
    }

    // After a step to a book that cannot be opened, nothing is written or removed under its name, and
    // the book left keeps what was drawn on it.
    void failedStepKeepsTheAnnotationsOfTheBookLeft()
    {
        const QString missing = path("missing.pdf");
        const QList<PlaylistItem> list = {item(m_book11, 1, QStringLiteral("A")),
                                          item(missing, 1, QStringLiteral("B"))};
        const Viewer viewer = shown(m_book11, 1, true, list);
        drag(*viewer, {onPage(*viewer, 0, {0.3, 0.5}), onPage(*viewer, 0, {0.6, 0.5})});
        press(*viewer, "nextTitleButton");
        QVERIFY(shownBook(*viewer).isEmpty());
        palette(*viewer).clearBookButton()->click();
        drag(*viewer, {QPointF(100, 100), QPointF(200, 200)});
        viewer->close();
        QVERIFY(!fileExists(missing));
        QCOMPARE(stored(m_book11).strokesByPage.value(0).size(), 1);
    }

    // Strokes from the mouse: committed with two points or more, kept on the page where they began.
    void strokesFromTheMouse_data()
    {
        QTest::addColumn<bool>("twoUp");
        QTest::addColumn<QString>("path"); // shown page (0 left), x and y as fractions of that page
        QTest::addColumn<int>("kept");     // points of the stroke kept; 0 for none
        QTest::newRow("a click draws nothing") << false << "0:0.5,0.5" << 0;
        QTest::newRow("two points make a stroke") << false << "0:0.3,0.5 0:0.6,0.5" << 2;
        QTest::newRow("the margin beside the page counts as the page")
            << false << "0:0.3,0.5 0:1.02,0.5" << 2;
        QTest::newRow("points over the other page are dropped")
            << true << "0:0.3,0.5 1:0.5,0.5 1:0.6,0.6 0:0.6,0.5" << 2;
    }

    void strokesFromTheMouse()
    {
        QFETCH(bool, twoUp);
        QFETCH(QString, path);
        const Viewer viewer = shown(m_book11, 2);
        if (twoUp)
            press(*viewer, "twoPageButton");
        const QList<int> pages = pageView(*viewer)->visiblePages();
        QList<QPointF> points;
        for (const QString &step : path.split(QLatin1Char(' '))) {
            const QStringList parts = step.split(QRegularExpression(QStringLiteral("[:,]")));
            points.append(
                onPage(*viewer, pages.at(parts[0].toInt()), {parts[1].toDouble(), parts[2].toDouble()}));
        }
        const auto *palette = viewer->findChild<PdfEditInspectorView *>();
        QVERIFY(!palette->undoButton()->isEnabled() && !palette->redoButton()->isEnabled());
        drag(*viewer, points);
        const PdfEditCacheFile drawn = editor(*viewer).annotations().document().pages();
        QFETCH(int, kept);
        // Undo and Redo follow the history.
        QCOMPARE(palette->undoButton()->isEnabled(), kept > 0);
        palette->undoButton()->click();
        QCOMPARE(palette->redoButton()->isEnabled(), kept > 0);
        QVERIFY(!palette->undoButton()->isEnabled());
        palette->redoButton()->click();
        if (kept == 0) {
            QVERIFY(!drawn.hasAnnotations());
            QVERIFY(!editor(*viewer).annotations().document().canUndo());
            QVERIFY(!fileExists(m_book11));
            return;
        }
        const QList<StrokeRecord> strokes = drawn.strokesByPage.value(pages.first());
        QCOMPARE(strokes.size(), 1);
        QCOMPARE(strokes.first().points.size(), kept);
        const QPointF first = pageView(*viewer)->convertToPage(points.first(), pages.first());
        QCOMPARE(strokes.first().points.first(), (PointRecord{first.x(), first.y()}));
    }

    // A note: the prompt's text trimmed, nothing for blanks; then the pen draws again.
    void textNotes_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("notes");
        QTest::newRow("trimmed") << "  Coda\n " << QStringList{QStringLiteral("Coda")};
        QTest::newRow("blanks and line breaks add nothing") << " \n  " << QStringList{};
    }

    void textNotes()
    {
        QFETCH(QString, typed);
        const Viewer viewer = shown(m_book11, 2);
        palette(*viewer).textButton()->click();
        QCOMPARE(label(*viewer), QStringLiteral("Edit mode: click page to add text"));
        const QPointF at = onPage(*viewer, 1, {0.5, 0.5});
        {
            ModalAnswer answer(typing(typed));
            mouse(*viewer, QEvent::MouseButtonPress, at);
            mouse(*viewer, QEvent::MouseButtonRelease, at, Qt::NoButton);
        }
        QStringList notes;
        for (const TextRecord &note : editor(*viewer).annotations().document().texts(1)) {
            notes.append(note.text);
            QCOMPARE(note.fontSize, 16.0);
        }
        QTEST(notes, "notes");
        QVERIFY(viewer->findChild<PdfEditInspectorView *>()->penButton()->isChecked());
        QVERIFY(label(*viewer) != QStringLiteral("Edit mode: click page to add text"));
        drag(*viewer, {onPage(*viewer, 1, {0.3, 0.3}), onPage(*viewer, 1, {0.6, 0.3})});
        QCOMPARE(editor(*viewer).annotations().document().strokes(1).size(), 1);
    }

    // Outside edit mode a drag moves a page zoomed to 1.2 times the fit or more, and nothing less.
    void panning_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::addColumn<int>("moved");
        QTest::newRow("fitted") << 1.0 << 0;
        QTest::newRow("just below") << 1.19 << 0;
        QTest::newRow("at 1.2") << 1.2 << 40;
        QTest::newRow("twice") << 2.0 << 40;
    }

    void panning()
    {
        QFETCH(double, zoom);
        const Viewer viewer = shown(m_book11, 2, false);
        pageView(*viewer)->setScaleFactor(fitted(*viewer) * zoom);
        QScrollBar *vertical = pageView(*viewer)->verticalScrollBar();
        vertical->setValue(vertical->maximum() / 2);
        const int before = vertical->value();
        drag(*viewer, {QPointF(300, 300), QPointF(300, 290), QPointF(300, 260)});
        QTEST(vertical->value() - before, "moved");
    }

    // A double click fits the page; in presentation mode it leaves it, also while drawing, where its
    // first click leaves no stroke; while drawing otherwise it is a press and a release. A real mark
    // made by the first click (a quick tick) stays, and so does presentation mode. A stroke drawn
    // before, in edit mode left since, does not count as that first click.
    void doubleClick_data()
    {
        QTest::addColumn<bool>("strokeFirst"); // a stroke drawn, then edit mode left
        QTest::addColumn<bool>("edit");
        QTest::addColumn<bool>("presentation");
        QTest::addColumn<int>("firstMove"); // pixels the first click moves
        QTest::addColumn<bool>("fits");
        QTest::addColumn<bool>("presentationAfter");
        QTest::newRow("fits the page") << false << false << false << 1 << true << false;
        QTest::newRow("leaves presentation mode") << false << false << true << 1 << false << false;
        QTest::newRow("leaves presentation mode while drawing")
            << false << true << true << 1 << false << false;
        QTest::newRow("a quick mark keeps presentation mode") << false << true << true << 30 << false << true;
        QTest::newRow("a press and a release while drawing") << false << true << false << 1 << false << false;
        QTest::newRow("stroke, leave edit, presentation, double click")
            << true << false << true << 1 << false << false;
    }

    void doubleClick()
    {
        QFETCH(bool, strokeFirst);
        QFETCH(bool, edit);
        QFETCH(bool, presentation);
        const Viewer viewer = shown(m_book11, 2, edit || strokeFirst);
        if (strokeFirst) {
            drag(*viewer, {onPage(*viewer, 1, {0.3, 0.3}), onPage(*viewer, 1, {0.6, 0.3})});
            editor(*viewer).toggleEditMode();
        }
        if (presentation)
            press(*viewer, "fullscreenButton");
        const double fit = fitted(*viewer);
        press(*viewer, "zoomInButton");
        const double zoomed = pageView(*viewer)->scaleFactor();
        // The first click moves a pixel, as a hand does, or draws a tick.
        QFETCH(int, firstMove);
        const QPointF at = onPage(*viewer, 1, {0.5, 0.5});
        mouse(*viewer, QEvent::MouseButtonPress, at);
        mouse(*viewer, QEvent::MouseMove, at + QPointF(firstMove, 0));
        mouse(*viewer, QEvent::MouseButtonRelease, at + QPointF(firstMove, 0), Qt::NoButton);
        mouse(*viewer, QEvent::MouseButtonDblClick, at);
        mouse(*viewer, QEvent::MouseButtonRelease, at, Qt::NoButton);
        QTEST(presenting(*viewer), "presentationAfter");
        QFETCH(bool, fits);
        QCOMPARE(pageView(*viewer)->scaleFactor(), fits ? fit : zoomed);
        if (presentation)
            QCOMPARE(editor(*viewer).annotations().document().hasAnnotations(), firstMove > 1 || strokeFirst);
    }

    // Edit mode starts with the pen and its palette at the right; each tool keeps its settings; the
    // text tool shows in the title label; leaving takes the palette away and keeps the page in place.
    void editModeAndTools()
    {
        const Viewer viewer = shown(m_book11, 3, false);
        press(*viewer, "zoomInButton");
        const int scroll = pageView(*viewer)->verticalScrollBar()->value();
        editor(*viewer).toggleEditMode();
        PdfEditInspectorView *palette = viewer->findChild<PdfEditInspectorView *>();
        QVERIFY(palette && palette->isVisible());
        // At the right, 18 points in, and centred from top to bottom.
        QCOMPARE(palette->pos(), QPoint(viewer->width() - palette->width() - 18,
                                        viewer->height() / 2 - palette->height() / 2));
        QCOMPARE(named<QPushButton>(*viewer, "editButton")->text(), QStringLiteral("Done (exit edit)"));
        palette->highlighterButton()->click();
        QVERIFY(palette->highlighterButton()->isChecked() && !palette->penButton()->isChecked());
        QCOMPARE(named<QSlider>(*viewer, "EditPopoverThickness")->value(), 100); // 10 points
        palette->textButton()->click();
        QCOMPARE(label(*viewer), QStringLiteral("Edit mode: click page to add text"));
        palette->textButton()->click();
        QVERIFY(palette->penButton()->isChecked() && !palette->textButton()->isChecked());
        QCOMPARE(label(*viewer), named<QLabel>(*viewer, "currentTitleLabel")->text());
        palette->highlighterButton()->click();
        editor(*viewer).toggleEditMode();
        QVERIFY(!viewer->findChild<PdfEditInspectorView *>());
        QCOMPARE(named<QPushButton>(*viewer, "editButton")->text(), QStringLiteral("Edit"));
        QCOMPARE(pageView(*viewer)->verticalScrollBar()->value(), scroll);
        editor(*viewer).toggleEditMode();
        QVERIFY(viewer->findChild<PdfEditInspectorView *>()->penButton()->isChecked());

        // Resized, the palette keeps its distance to the right edge.
        const int right = viewer->width() - viewer->findChild<PdfEditInspectorView *>()->geometry().right();
        viewer->resize(viewer->width() + 200, viewer->height());
        QCOMPARE(viewer->width() - viewer->findChild<PdfEditInspectorView *>()->geometry().right(), right);
    }

    // The palette stays 12 points inside the window, and keeps the distance to its nearer edges.
    void paletteStaysInside_data()
    {
        QTest::addColumn<QSize>("area");
        QTest::addColumn<QPoint>("wanted");
        QTest::addColumn<QPoint>("placed");
        QTest::newRow("inside") << QSize(900, 700) << QPoint(100, 100) << QPoint(100, 100);
        QTest::newRow("past the left and top") << QSize(900, 700) << QPoint(-50, -9) << QPoint(12, 12);
        QTest::newRow("past the right and bottom") << QSize(900, 700) << QPoint(800, 600) << QPoint(498, 444);
        QTest::newRow("too small a window: left and top win")
            << QSize(300, 200) << QPoint(50, 50) << QPoint(12, 12);
    }

    void paletteStaysInside()
    {
        QFETCH(QSize, area);
        QFETCH(QPoint, wanted);
        QTEST(PdfEditInspectorView::clampedOriginForTesting(wanted, area), "placed");
    }

    void paletteKeepsItsEdges_data()
    {
        QTest::addColumn<QPoint>("at");      // in a window of 900 x 700
        QTest::addColumn<QPoint>("resized"); // in a window of 1100 x 500
        QTest::newRow("nearer the right and top") << QPoint(492, 100) << QPoint(692, 100);
        QTest::newRow("nearer the left and bottom") << QPoint(40, 420) << QPoint(40, 220);
        QTest::newRow("a tie goes to the right and top") << QPoint(255, 228) << QPoint(455, 228);
    }

    void paletteKeepsItsEdges()
    {
        QFETCH(QPoint, at);
        QTEST(PdfEditInspectorView::originAfterResizeForTesting(at, QSize(900, 700), QSize(1100, 500)),
              "resized");
    }

    // "Clear page" clears the pages shown, one step each, after asking; Cancel changes nothing, and a
    // page without annotations asks nothing.
    void clearPage_data()
    {
        QTest::addColumn<bool>("twoUp");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("cleared");
        QTest::newRow("one page") << false << "Clear" << 1;
        QTest::newRow("both pages of a spread") << true << "Clear" << 2;
        QTest::newRow("cancelled") << true << "Cancel" << 0;
    }

    void clearPage()
    {
        QFETCH(bool, twoUp);
        QFETCH(QString, answer);
        const Viewer viewer = shown(m_book11, 2);
        if (twoUp)
            press(*viewer, "twoPageButton");
        const QList<int> pages = pageView(*viewer)->visiblePages();
        for (const int page : pages)
            drag(*viewer, {onPage(*viewer, page, {0.3, 0.5}), onPage(*viewer, page, {0.6, 0.5})});
        press(*viewer, "lastPageButton");
        {
            ModalAnswer none(answer);
            palette(*viewer).clearPageButton()->click();
            QVERIFY(none.messages.isEmpty());
        }
        if (twoUp)
            press(*viewer, "twoPageButton");
        else
            press(*viewer, "singlePageButton");
        QCOMPARE(pageView(*viewer)->visiblePages(), pages);
        ModalAnswer confirm(answer);
        palette(*viewer).clearPageButton()->click();
        QCOMPARE(confirm.messages, QStringList{QStringLiteral("Clear page edits?")});
        QFETCH(int, cleared);
        int left = 0;
        for (const int page : pages)
            left += editor(*viewer).annotations().document().pageHasAnnotations(page);
        QCOMPARE(left, int(pages.size()) - cleared);
        QCOMPARE(int(editor(*viewer).annotations().document().undoStackForTesting().size()),
                 int(pages.size()) + cleared);
    }

    // On screen a pen covers, a highlighter darkens what is under it, and widths stay the same at
    // every zoom.
    void annotationsOnScreen()
    {
        const Viewer viewer = shown(m_book11, 1);
        press(*viewer, "singlePageButton");
        // The page's top-left corner is black: the highlighter runs from black into white.
        drag(*viewer, {onPage(*viewer, 0, {0.25, 0.75}), onPage(*viewer, 0, {0.75, 0.75})});
        palette(*viewer).highlighterButton()->click();
        drag(*viewer, {onPage(*viewer, 0, {0.1, 0.15}), onPage(*viewer, 0, {0.9, 0.15})});
        waitForImages(*viewer);
        WAIT_VERIFY(pageView(*viewer)->shownForTesting().annotationLayersComplete);
        const auto grab = [&] { return pageView(*viewer)->viewport()->grab().toImage(); };
        const auto lineWidth = [&](const QImage &image, const QPointF &at) {
            int width = 0;
            for (int y = int(at.y()) - 20; y < int(at.y()) + 20; ++y)
                width += qRed(image.pixel(int(at.x()), y)) > 200 && qGreen(image.pixel(int(at.x()), y)) < 80;
            return width;
        };
        QImage image = grab();
        const QPointF pen = onPage(*viewer, 0, {0.5, 0.75}) * image.devicePixelRatio();
        const int width = lineWidth(image, pen);
        QVERIFY2(width >= 2 && width <= 5, qPrintable(QString::number(width)));
        const QRgb overWhite = image.pixel(onPage(*viewer, 0, {0.75, 0.15}).toPoint());
        const QRgb overBlack = image.pixel(onPage(*viewer, 0, {0.15, 0.15}).toPoint());
        QVERIFY(qBlue(overWhite) < 230 && qRed(overWhite) > 240);
        QVERIFY(qGray(overBlack) < 20);

        press(*viewer, "zoomInButton");
        press(*viewer, "zoomInButton");
        waitForImages(*viewer);
        WAIT_VERIFY(pageView(*viewer)->shownForTesting().annotationLayersComplete);
        image = grab();
        QCOMPARE(lineWidth(image, onPage(*viewer, 0, {0.5, 0.75})), width);
    }

    // "+" puts the title the viewer was opened for into a playlist, also after a step to the next; a
    // failed save of the playlists is told over the viewer.
    void addToPlaylist()
    {
        const QList<PlaylistItem> list = {item(m_book11, 1, QStringLiteral("A")),
                                          item(m_book11, 3, QStringLiteral("B"))};
        const Viewer viewer = open(m_book11, 1, BookmarkEntry(list.first()), list, 0);
        viewer->show();
        press(*viewer, "nextTitleButton");
        QVERIFY(m_context->playlists().indexOf(QStringLiteral("Gig")) < 0);
        {
            TestHarness::FileSizeLimit fullDisk(10);
            ModalAnswer answer(typing(QStringLiteral(" Gig ")));
            press(*viewer, "addToPlaylistButton");
            StateFile::waitForAllPendingWrites();
        }
        const qsizetype gig = m_context->playlists().indexOf(QStringLiteral("Gig"));
        QVERIFY(gig >= 0);
        QCOMPARE(m_context->playlists().playlists().at(gig).items, QList<PlaylistItem>{list.first()});
        const auto alert = [&] { return viewer->findChild<QMessageBox *>(QStringLiteral("stateFileAlert")); };
        WAIT_VERIFY(alert());
        QCOMPARE(alert()->text(),
                 QStringLiteral("Your playlists could not be saved: the file is larger than the system "
                                "allows. The changes stay in Lyrafold until they can be saved, and a quit "
                                "tells you what it could not save."));
        alert()->accept();
        m_context->playlists().deletePlaylist(gig, QStringLiteral("Gig"));
    }

    // "Share" exports the title with the annotations the viewer holds for its book, where they are on
    // screen.
    void shareExportsWhatIsShown_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("PDF") << QStringLiteral("PDF");
        QTest::newRow("JPEG") << QStringLiteral("JPEG");
    }

    void shareExportsWhatIsShown()
    {
        QFETCH(QString, format);
        const Viewer viewer = shown(m_book11, 2);
        viewer->findChild<QSlider *>(QStringLiteral("EditPopoverThickness"))->setValue(200);
        drag(*viewer, {onPage(*viewer, 1, {0.5, 0.6}), onPage(*viewer, 1, {0.8, 0.6})});
        ModalAnswer answer(format);
        press(*viewer, "shareButton");
        WAIT_VERIFY(viewer->findChild<QFrame *>(QStringLiteral("shareOrSavePopover")));
        QCOMPARE(answer.messages, QStringList{QStringLiteral("Share \"eleven\"")});
        // A viewer opened on a bare path shares a title named after the book.
        BookmarkEntry shared;
        shared.title = QStringLiteral("eleven");
        const QString exported =
            *AppPaths::privateTempDir() + QLatin1Char('/') +
            ExportNaming::fileName(TitleShareFlow::baseName(shared), format == QLatin1String("PDF")
                                                                         ? QStringLiteral(".pdf")
                                                                         : QStringLiteral("_images"));
        const QImage page = format == QLatin1String("PDF")
                                ? PdfDocument::open(exported).value()->render(0, 1.0).value()
                                : QImage(exported + QStringLiteral("/page_0001.jpg"));
        QVERIFY(!page.isNull());
        const QRgb drawn = page.pixel(QPoint(int(0.65 * page.width()), int(0.6 * page.height())));
        QVERIFY2(qRed(drawn) > 200 && qGreen(drawn) < 100, qPrintable(QColor(drawn).name()));
    }

    // A book cut short while open says so, once, in the viewer's notice, instead of showing blank pages;
    // one removed while open still shows its pages from the file it holds open.
    void bookThatCanNoLongerBeReadIsTold_data()
    {
        QTest::addColumn<bool>("cut");
        QTest::newRow("cut short") << true;
        QTest::newRow("removed") << false;
    }

    void bookThatCanNoLongerBeReadIsTold()
    {
        QFETCH(bool, cut);
        const QString book = path("changing.pdf");
        QFile::remove(book);
        QVERIFY(QFile::copy(m_book60, book));
        const Viewer viewer = shown(book, 1, false);
        waitForImages(*viewer);
        // Cut to its first tenth: the pages poppler has not read are gone with the rest.
        QVERIFY(cut ? QFile::resize(book, QFileInfo(book).size() / 10) : QFile::remove(book));
        for (const QString &page : {QStringLiteral("30"), QStringLiteral("59")}) {
            named<QLineEdit>(*viewer, "pageNumberField")->setText(page);
            QTest::keyClick(named<QLineEdit>(*viewer, "pageNumberField"), Qt::Key_Return);
            waitForImages(*viewer);
        }
        QCOMPARE(viewer->findChildren<QMessageBox *>(QStringLiteral("viewerNotice")).size(), cut ? 1 : 0);
        if (cut)
            QCOMPARE(notice(*viewer)->text(), QStringLiteral("changing.pdf can no longer be read."));
        else
            QCOMPARE(pageView(*viewer)
                         ->shownForTesting()
                         .imageCache->imagesOf(58, pageView(*viewer)->scaleFactor())
                         .size(),
                     1);
    }

    // The popup's save names the folder it saved to in the viewer's notice, which shows under any
    // window manager.
    void saveIsToldInANotice()
    {
        const Viewer viewer = shown(m_book11, 2, false);
        QTemporaryDir target;
        const QString chosen = target.filePath(QStringLiteral("Mine.pdf"));
        QString told;
        ModalAnswer answers(QList<ModalAnswer::Step>{
            [](QDialog *format) { ModalAnswer::press(format, QStringLiteral("PDF")); },
            [&](QDialog *panel) {
                panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(chosen);
                panel->done(QDialog::Accepted);
            },
            [&](QDialog *box) {
                if (box->objectName() == QLatin1String("viewerNotice"))
                    told = static_cast<QMessageBox *>(box)->text();
                box->accept();
            }});
        press(*viewer, "shareButton");
        WAIT_VERIFY(viewer->findChild<QFrame *>(QStringLiteral("shareOrSavePopover")));
        for (QPushButton *button : viewer->findChild<QFrame *>(QStringLiteral("shareOrSavePopover"))
                                       ->findChildren<QPushButton *>()) {
            if (button->text() == QStringLiteral("Save to local disc"))
                button->click();
        }
        WAIT_VERIFY(QFile::exists(chosen));
        WAIT_COMPARE(told, QStringLiteral("Saved to ") + QDir::toNativeSeparators(target.path()));
    }

    // ---- Page coordinates and rendering

    // Points of a page's user space land on that page in the view and come back unchanged, on
    // turned and cropped pages and on either side of a spread; the black quarter of each fixture
    // page shows black on screen where the mapping puts it.
    void viewAndPageCoordinates_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("twoUp");
        QTest::addColumn<QRectF>("box"); // the page's visible box as the fixture writes it
        QTest::newRow("plain") << 1 << false << QRectF(0, 0, 600, 800);
        QTest::newRow("turned a quarter") << 2 << false << QRectF(0, 0, 800, 600);
        QTest::newRow("cropped, turned three quarters") << 3 << false << QRectF(50, 100, 400, 500);
        QTest::newRow("cropped, turned half") << 4 << false << QRectF(0, 0, 600, 700);
        QTest::newRow("spread, left") << 2 << true << QRectF(0, 0, 800, 600);
        QTest::newRow("spread, right") << 3 << true << QRectF(50, 100, 400, 500);
    }

    void viewAndPageCoordinates()
    {
        QFETCH(int, page);
        QFETCH(bool, twoUp);
        QFETCH(QRectF, box);
        const Viewer viewer = open(m_mixed, page, title(m_mixed, 2, QStringLiteral("T"), 2));
        viewer->resize(1200, 800);
        viewer->show();
        QVERIFY(QTest::qWaitForWindowExposed(viewer.get(), TestHarness::hangGuardMs));
        if (twoUp) {
            press(*viewer, "twoPageButton");
            pageView(*viewer)->goToPage(page - 1);
        }
        press(*viewer, "fitButton");
        PdfPageView *view = pageView(*viewer);
        QVERIFY(view->visiblePages().contains(page - 1));
        waitForImages(*viewer);
        const QImage shot = view->viewport()->grab().toImage();
        const double ratio = shot.devicePixelRatio();

        const PageGeometry geometry = view->pageGeometry(page - 1);
        const QSizeF media = page == 2 ? QSizeF(800, 600) : QSizeF(600, 800);
        const QRectF black(0, media.height() * 0.75, media.width() / 4, media.height() / 4);
        for (const QPointF &user : {box.topLeft() + QPointF(8, 8), box.bottomRight() - QPointF(8, 8),
                                    QPointF(box.left() + 8, box.bottom() - 8), box.center()}) {
            const QPointF onScreen = view->shownForTesting().pageRects.value(page - 1).topLeft() +
                                     geometry.userToShown().map(user) * view->scaleFactor();
            QVERIFY(view->shownForTesting().pageRects.value(page - 1).contains(onScreen));
            const QPointF back = view->convertToPage(onScreen, page - 1);
            QVERIFY(qAbs(back.x() - user.x()) < 1e-6 && qAbs(back.y() - user.y()) < 1e-6);
            const bool shownBlack = qGray(shot.pixel((onScreen * ratio).toPoint())) < 64;
            QVERIFY2(shownBlack == black.contains(user),
                     qPrintable(QStringLiteral("%1, %2").arg(user.x()).arg(user.y())));
        }
        for (const QRectF &shown : view->shownForTesting().pageRects)
            QVERIFY(!shown.contains(QPointF(1, 1)));
    }

    // A huge page at the highest zoom is rendered only around the part in view, never whole.
    void hugePagesRenderOnlyTheVisiblePart()
    {
        const Viewer viewer = open(m_huge, 1);
        viewer->resize(900, 700);
        viewer->show();
        QVERIFY(QTest::qWaitForWindowExposed(viewer.get(), TestHarness::hangGuardMs));
        pageView(*viewer)->setScaleFactor(4.0);
        pageView(*viewer)->horizontalScrollBar()->setValue(20000);
        waitForImages(*viewer);
        const QSize area = pageView(*viewer)->viewport()->size() * pageView(*viewer)->devicePixelRatioF();
        const qint64 bound = qint64(area.width() * 2 + 128) * (area.height() * 2 + 128);
        const QList<const PageImageCache::Entry *> images =
            pageView(*viewer)->shownForTesting().imageCache->imagesOf(0, 4.0);
        QVERIFY(!images.isEmpty());
        QCOMPARE(images.last()->request.scale, 4.0 * pageView(*viewer)->devicePixelRatioF());
        for (const PageImageCache::Entry *image : images)
            QVERIFY2(
                qint64(image->image.width()) * image->image.height() <= bound,
                qPrintable(QStringLiteral("%1 x %2").arg(image->image.width()).arg(image->image.height())));
    }
};

LYRAFOLD_TEST_GUI_MAIN(PdfViewerTest)
#include "tst_pdfviewer.moc"
