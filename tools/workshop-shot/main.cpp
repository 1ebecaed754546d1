// lyrafold-workshop-shot: the bookmark workshop or the custom files window over a profile, and "ready"
// printed once its books and covers are drawn, so that scripts/workshop-screenshots.sh can photograph
// the screen.
//
//   lyrafold-workshop-shot --scene workshop|books|custom-files|extracted [--books DIR]
//                          [--category singles|books] [--size WIDTHxHEIGHT] [--language en|tr|es]
//
// Run it on a profile made by lyrafold-demo-profile. workshop: the demo library as it is (the Default
// slot). books: the PDF books below DIR, with the songs of their outlines (a book without one as one song),
// in Slot 1. custom-files: a few pictures imported as single files and as one book into Slot 2 (named
// "Imports"), with the custom files window on the category chosen. extracted: the main window after an
// extraction of the books of DIR and five one-page tunes without an outline (named in the language
// chosen), its status line naming the tunes.

#include "core/slotfiles/SlotStore.h"
#include "pdf/engine/PdfDocument.h"
#include "pdf/extract/PdfBookmarkExtractor.h"
#include "pdf/import/ImagePdfImportService.h"
#include "ui/app/AppContext.h"
#include "ui/common/CoverThumbnailLoader.h"
#include "ui/common/StatusLine.h"
#include "ui/customfiles/CustomFilesWindowController.h"
#include "ui/extract/BookmarkExtractionFlow.h"
#include "ui/library/LibraryFlowService.h"
#include "ui/mainwindow/MainWindowController.h"
#include "ui/mainwindow/TileView.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/workshop/WorkshopWindowController.h"

#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "lyrafold-workshop-shot: %s\n", qPrintable(message));
    return 1;
}

// The books of the folder with their outlines' songs, in Slot 1, as the active slot; and one book that
// is not there.
void prepareBooks(const QString &folder)
{
    BookmarkList rows;
    QDirIterator found(folder, {QStringLiteral("*.pdf")}, QDir::Files, QDirIterator::Subdirectories);
    QList<QFileInfo> files;
    while (found.hasNext())
        files.append(found.nextFileInfo());
    for (const QFileInfo &file : std::as_const(files)) {
        BookmarkList songs = PdfBookmarkExtractor::extractBookmarks(file.absoluteFilePath());
        if (songs.isEmpty()) {
            BookmarkEntry whole;
            whole.pdfFileName = file.fileName();
            whole.pdfFilePath = file.absoluteFilePath();
            whole.pageNumber = 1;
            whole.title = file.completeBaseName();
            if (const Result<PdfDocumentPtr> document = PdfDocument::open(file.absoluteFilePath()))
                whole.pageSpan = whole.totalPages = document.value()->pageCount();
            songs.append(whole);
        }
        rows += songs;
    }
    BookmarkEntry lost;
    lost.pdfFileName = QStringLiteral("Lent Out Fakebook.pdf");
    lost.pdfFilePath = QDir::homePath() + QStringLiteral("/Music/Lent Out Fakebook.pdf");
    lost.pageNumber = 12;
    lost.title = QStringLiteral("Autumn Leaves");
    rows.append(lost);
    SlotStore::saveSlot(1, rows, folder);
    SlotStore::saveMeta(SlotMeta{1, {{1, QStringLiteral("Real Books")}}});
}

// A picture of a hand-written page: a coloured card with a title.
QString drawPicture(const QString &folder, const QString &title, const QColor &colour)
{
    QImage image(900, 1200, QImage::Format_RGB32);
    image.fill(QColor(250, 248, 240));
    QPainter painter(&image);
    painter.fillRect(QRect(60, 60, 780, 180), colour);
    QFont font;
    font.setPixelSize(72);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(60, 60, 780, 180), Qt::AlignCenter, title);
    painter.setPen(QPen(QColor(60, 60, 60), 3));
    for (int staff = 0; staff < 6; ++staff) {
        for (int line = 0; line < 5; ++line) {
            const int y = 340 + staff * 140 + line * 14;
            painter.drawLine(80, y, 820, y);
        }
    }
    painter.end();
    const QString path = folder + QLatin1Char('/') + title + QStringLiteral(".png");
    image.save(path);
    return path;
}

// Pictures imported as single files and as one book: the songs the import makes.
std::optional<BookmarkList> importPictures(const QString &pictures)
{
    const QStringList singles = {drawPicture(pictures, QStringLiteral("Blue Bossa"), QColor(40, 90, 160)),
                                 drawPicture(pictures, QStringLiteral("Misty"), QColor(120, 60, 140)),
                                 drawPicture(pictures, QStringLiteral("Summertime"), QColor(190, 110, 30))};
    const QStringList pages = {drawPicture(pictures, QStringLiteral("Reel 1"), QColor(40, 130, 80)),
                               drawPicture(pictures, QStringLiteral("Reel 2"), QColor(160, 50, 50))};
    const auto single =
        ImagePdfImportService::importFiles(singles, QString(), {}, std::nullopt, std::nullopt, false);
    const auto book = ImagePdfImportService::importFiles(
        pages, ImagePdfImportService::customBookDisplayName(QStringLiteral("Session Reels")), {},
        std::nullopt, std::nullopt, true);
    if (!single || !book)
        return std::nullopt;
    return single.value().bookmarks + book.value().bookmarks;
}

// One-page tunes without an outline, named in the language, beside copies of the books of books.
QString prepareExtractionFolder(const QString &folder, const QString &books, const QString &language)
{
    QDirIterator found(books, {QStringLiteral("*.pdf")}, QDir::Files);
    while (found.hasNext()) {
        const QFileInfo book = found.nextFileInfo();
        QFile::copy(book.absoluteFilePath(), folder + QLatin1Char('/') + book.fileName());
    }
    const QStringList tunes =
        language == QLatin1String("tr")
            ? QStringList{QStringLiteral("Üsküdar'a Gider İken"), QStringLiteral("Çanakkale Türküsü"),
                          QStringLiteral("Kâtibim"), QStringLiteral("Sarı Gelin"),
                          QStringLiteral("Dere Geliyor")}
            : QStringList{QStringLiteral("Blue in Green"), QStringLiteral("Nardis"), QStringLiteral("Solar"),
                          QStringLiteral("Misty"), QStringLiteral("Footprints")};
    for (const QString &tune : tunes) {
        QPdfWriter writer(folder + QLatin1Char('/') + tune + QStringLiteral(".pdf"));
        QPainter painter(&writer);
        QFont font;
        font.setPointSize(28);
        painter.setFont(font);
        painter.drawText(QRect(0, 0, writer.width(), writer.height() / 4), Qt::AlignCenter, tune);
    }
    return folder;
}

// Answers the slot question of the extraction with its OK.
void answerPrompts(QObject *owner)
{
    auto *poll = new QTimer(owner);
    QObject::connect(poll, &QTimer::timeout, owner, [] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        for (QPushButton *button : modal->findChildren<QPushButton *>()) {
            if (button->text() == QLatin1String("OK")) {
                button->click();
                return;
            }
        }
    });
    poll->start(100);
}

void readyWhenCovered(QWidget *window, CoverThumbnailLoader *covers)
{
    auto *poll = new QTimer(window);
    QObject::connect(poll, &QTimer::timeout, window, [poll, covers] {
        if (covers->pendingCountForTesting() > 0)
            return;
        poll->stop();
        QTimer::singleShot(400, [] {
            std::puts("ready");
            std::fflush(stdout);
        });
    });
    poll->start(100);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lyrafold"));
    QCommandLineParser parser;
    parser.addOptions({
        {QStringLiteral("scene"), QStringLiteral("workshop, books or custom-files."), QStringLiteral("scene"),
         QStringLiteral("workshop")},
        {QStringLiteral("books"), QStringLiteral("The folder of books of the books scene."),
         QStringLiteral("dir")},
        {QStringLiteral("category"), QStringLiteral("singles or books."), QStringLiteral("name")},
        {QStringLiteral("size"), QStringLiteral("The window size."), QStringLiteral("WxH")},
        {QStringLiteral("language"), QStringLiteral("The interface language."), QStringLiteral("code")},
        {QStringLiteral("focus"), QStringLiteral("The control that has the keyboard focus, by object name."),
         QStringLiteral("name")},
    });
    parser.process(app);
    if (const std::optional<LyrafoldLanguage> language =
            LyrafoldLanguageService::languageFromRawValue(parser.value(QStringLiteral("language"))))
        LyrafoldLanguageService::setCurrent(*language);
    const QString scene = parser.value(QStringLiteral("scene"));

    QTemporaryDir pictures;
    std::optional<BookmarkList> imported;
    if (scene == QLatin1String("books"))
        prepareBooks(QDir(parser.value(QStringLiteral("books"))).absolutePath());
    else if (scene == QLatin1String("custom-files") && !(imported = importPictures(pictures.path())))
        return fail(QStringLiteral("the pictures could not be imported"));

    AppContext context;
    MainWindowController main(context);
    QWidget *window = nullptr;
    if (scene == QLatin1String("extracted")) {
        const QString folder = prepareExtractionFolder(pictures.path(), parser.value(QStringLiteral("books")),
                                                       parser.value(QStringLiteral("language")));
        main.resize(1500, 760);
        main.move(20, 20);
        main.show();
        answerPrompts(&main);
        BookmarkExtractionFlow &extraction = context.libraryFlows().extraction();
        auto *line = main.findChild<StatusLine *>(QStringLiteral("statusField"));
        QObject::connect(&extraction, &BookmarkExtractionFlow::statusChanged, line, &StatusLine::setStatus);
        QObject::connect(&extraction, &BookmarkExtractionFlow::extracted, &main, [] {
            QTimer::singleShot(1200, [] {
                std::puts("ready");
                std::fflush(stdout);
            });
        });
        extraction.setWindow(&main);
        QTimer::singleShot(500, &extraction,
                           [&extraction, folder] { extraction.extractFromFolderForTesting(folder); });
        return app.exec();
    }
    if (scene == QLatin1String("custom-files")) {
        // Where the import puts them: Slot 2, which becomes the current slot.
        SlotStore::setSlotName(2, QStringLiteral("Imports"));
        context.librarySlots().appendImportedBookmarks(*imported, 2, QString());
        main.findChild<TileView *>(QStringLiteral("customFilesTile"))->hitButton()->click();
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (auto *files = qobject_cast<CustomFilesWindowController *>(top))
                window = files;
        }
        if (window && parser.value(QStringLiteral("category")) == QLatin1String("books"))
            window->findChild<QComboBox *>(QStringLiteral("customFilesCategory"))->setCurrentIndex(1);
    } else {
        main.findChild<TileView *>(QStringLiteral("bookmarkWorkshopTile"))->hitButton()->click();
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (auto *workshop = qobject_cast<WorkshopWindowController *>(top))
                window = workshop;
        }
    }
    if (!window)
        return fail(QStringLiteral("no window opened"));
    const QStringList size = parser.value(QStringLiteral("size")).split(QLatin1Char('x'));
    if (size.size() == 2)
        window->resize(size[0].toInt(), size[1].toInt());
    window->move(40, 40);
    if (auto *focused = window->findChild<QWidget *>(parser.value(QStringLiteral("focus")));
        focused && parser.isSet(QStringLiteral("focus")))
        focused->setFocus(Qt::TabFocusReason);
    QTimer::singleShot(800, window,
                       [window] { readyWhenCovered(window, window->findChild<CoverThumbnailLoader *>()); });
    return app.exec();
}
