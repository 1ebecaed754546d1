#include "TestHarness.h"
#include "core/annotations/AnnotationDocument.h"
#include "core/annotations/EditToolState.h"
#include "core/storage/StateFile.h"

#include <QFile>

namespace {

// Stroke "A" runs through x = 'A'; "a" has the same points in another colour.
StrokeRecord stroke(QChar name)
{
    const double x = name.toUpper().unicode();
    const ColorRecord colour = name.isUpper() ? ColorRecord{1, 0, 0, 1} : ColorRecord{0, 0, 1, 1};
    return StrokeRecord{{{x, 1}, {x, 2}}, colour, 3, 1, false};
}

TextRecord note(QChar name)
{
    return TextRecord{{double(name.unicode()), 5}, QString(name), {0, 0, 0, 1}, 1, 16};
}

// Runs a script of steps separated by ";": "s2A" a stroke A on page 2, "t2X" a note X, "u" undo, "r"
// redo, "c2,3/10" clear pages 2 and 3 of a 10-page book, "b" clear the book, "w" withdraw the last
// stroke.
void run(AnnotationDocument &document, const QString &script)
{
    for (const QString &step : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QChar kind = step.at(0);
        if (kind == QLatin1Char('s'))
            document.addStroke(step.mid(1, step.size() - 2).toLongLong(), stroke(step.back()));
        else if (kind == QLatin1Char('t'))
            document.addText(step.mid(1, step.size() - 2).toLongLong(), note(step.back()));
        else if (kind == QLatin1Char('u'))
            document.undo();
        else if (kind == QLatin1Char('r'))
            document.redo();
        else if (kind == QLatin1Char('b'))
            document.clearBook();
        else if (kind == QLatin1Char('w'))
            document.withdrawLastStroke();
        else if (kind == QLatin1Char('c')) {
            const QStringList parts = step.mid(1).split(QLatin1Char('/'));
            QList<qint64> pages;
            for (const QString &page : parts[0].split(QLatin1Char(',')))
                pages.append(page.toLongLong());
            document.clearPages(pages, parts[1].toLongLong());
        }
    }
}

// "2:AB/X 3:/": each page with an entry, its strokes by name, "/", its notes.
QString describe(const AnnotationDocument &document)
{
    QList<qint64> pages = document.pages().strokesByPage.keys() + document.pages().textsByPage.keys();
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    QStringList out;
    for (const qint64 page : pages) {
        QString text = QString::number(page) + QLatin1Char(':');
        for (const StrokeRecord &s : document.strokes(page))
            text += QChar(char16_t(s.points.first().x));
        text += QLatin1Char('/');
        for (const TextRecord &t : document.texts(page))
            text += t.text;
        out.append(text);
    }
    return out.join(QLatin1Char(' '));
}

} // namespace

class AnnotationDocumentTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHarness::clearUserFiles(); }

    void history_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("pages");
        QTest::addColumn<int>("undo");
        QTest::addColumn<int>("redo");
        QTest::newRow("nothing to undo or redo") << "u;r"
                                                 << "" << 0 << 0;
        QTest::newRow("a stroke undone and redone comes back last") << "s2A;s2B;u;r"
                                                                    << "2:AB/" << 2 << 0;
        QTest::newRow("a new change empties redo") << "s2A;u;s2B;r"
                                                   << "2:B/" << 1 << 0;
        QTest::newRow("undo takes every equal stroke, whatever its colour") << "s2A;s2B;s2a;u"
                                                                            << "2:B/" << 2 << 1;
        QTest::newRow("undo of a note") << "t1X;t1Y;u"
                                        << "1:/X" << 1 << 1;
        QTest::newRow("clearing a page without annotations changes nothing") << "s2A;u;c3/10"
                                                                             << "2:/" << 0 << 1;
        QTest::newRow("two pages cleared, one action each") << "s2A;t3X;c2,3/10"
                                                            << "2:/ 3:/" << 4 << 0;
        QTest::newRow("one undo brings back the second page") << "s2A;t3X;c2,3/10;u"
                                                              << "2:/ 3:/X" << 3 << 1;
        QTest::newRow("the next undo the first") << "s2A;t3X;c2,3/10;u;u"
                                                 << "2:A/ 3:/X" << 2 << 2;
        QTest::newRow("a page past the end is skipped") << "s9A;c9,10/10"
                                                        << "9:/" << 2 << 0;
        QTest::newRow("clearing the book leaves no page") << "s2A;t7X;b"
                                                          << "" << 4 << 0;
        QTest::newRow("undoing it brings back one page a step") << "s2A;t7X;b;u"
                                                                << "7:/X" << 3 << 1;
        QTest::newRow("and redoing clears it again") << "s2A;t7X;b;u;u;r"
                                                     << "2:/ 7:/X" << 3 << 1;
        QTest::newRow("undo of a clear restores the page as it was") << "s2A;c2/10;s2B;u;u"
                                                                     << "2:A/" << 1 << 2;
        QTest::newRow("a withdrawn stroke goes to neither history") << "s2A;s2B;u;r;w"
                                                                    << "2:A/" << 1 << 0;
        QTest::newRow("only a stroke is withdrawn") << "s2A;t2X;w"
                                                    << "2:A/X" << 2 << 0;
    }

    // The history as the stacks hold it, and as the signals last told it (the palette's Undo and
    // Redo follow those).
    void history()
    {
        QFETCH(QString, script);
        AnnotationDocument document;
        bool toldUndo = false;
        bool toldRedo = false;
        connect(&document, &AnnotationDocument::canUndoChanged, this, [&](bool can) {
            QVERIFY(can != toldUndo);
            toldUndo = can;
        });
        connect(&document, &AnnotationDocument::canRedoChanged, this, [&](bool can) {
            QVERIFY(can != toldRedo);
            toldRedo = can;
        });
        run(document, script);
        QTEST(describe(document), "pages");
        QTEST(int(document.undoStackForTesting().size()), "undo");
        QTEST(int(document.redoStackForTesting().size()), "redo");
        QCOMPARE(toldUndo, document.canUndo());
        QCOMPARE(toldRedo, document.canRedo());
        document.reset();
        QVERIFY(!toldUndo && !toldRedo);
    }

    // The history has no bound: a whole book cleared comes back one page a step, the last cleared
    // first, and each step holds the page's lists as they were rather than a copy of them.
    void clearedBookComesBackWhole()
    {
        AnnotationDocument document;
        constexpr int pages = 600;
        for (int page = 0; page < pages; ++page)
            document.addStroke(page, stroke(QLatin1Char('A')));
        document.clearHistory();
        QVERIFY(document.clearBook());
        for (int step = 0; step < pages; ++step) {
            QVERIFY(document.undo());
            const int back = pages - 1 - step;
            QVERIFY2(document.pageHasAnnotations(back) && !document.pageHasAnnotations(back - 1),
                     qPrintable(QString::number(back)));
        }
        QVERIFY(!document.canUndo());
        QCOMPARE(int(document.redoStackForTesting().size()), pages);
        QVERIFY(document.strokes(0).isSharedWith(document.redoStackForTesting().last().oldStrokes));
    }

    // Every change gives its page a new version; the view adds an appended stroke or note in place.
    void changesAreTold()
    {
        AnnotationDocument document;
        QList<std::tuple<qint64, AnnotationDocument::Change>> told;
        connect(&document, &AnnotationDocument::pageChanged, this,
                [&](qint64 page, quint64 previous, AnnotationDocument::Change change) {
                    QVERIFY(previous < document.version(page));
                    told.append({page, change});
                });
        run(document, "s2A;t2X;u;c2/3");
        using C = AnnotationDocument::Change;
        QCOMPARE(told, (QList<std::tuple<qint64, C>>{
                           {2, C::strokeAppended}, {2, C::textAppended}, {2, C::other}, {2, C::other}}));
        const quint64 before = document.version(2);
        document.reset();
        QVERIFY(document.version(2) > before);
        QVERIFY(!document.canUndo());
    }

    void toolSettings_data()
    {
        QTest::addColumn<QString>("steps"); // tools by name, "t5" a thickness, "o0.5" an opacity
        QTest::addColumn<QString>("tool");
        QTest::addColumn<double>("thickness");
        QTest::addColumn<double>("opacity");
        QTest::newRow("the pen keeps its settings over the highlighter") << "t5;o0.5;highlighter;pen"
                                                                         << "pen" << 5.0 << 0.5;
        QTest::newRow("the highlighter keeps its own") << "highlighter;t12;o0.4;pen;highlighter"
                                                       << "highlighter" << 12.0 << 0.4;
        QTest::newRow("a highlighter below 8 is raised when chosen again") << "highlighter;t5;pen;highlighter"
                                                                           << "highlighter" << 8.0 << 0.28;
        QTest::newRow("the text tool changes the pen's settings") << "text;t6;o0.7;pen"
                                                                  << "pen" << 6.0 << 0.7;
    }

    void toolSettings()
    {
        QFETCH(QString, steps);
        const QHash<QString, PdfEditTool> tools{{"pen", PdfEditTool::pen},
                                                {"text", PdfEditTool::text},
                                                {"highlighter", PdfEditTool::highlighter}};
        EditToolState state;
        for (const QString &step : steps.split(QLatin1Char(';'))) {
            if (tools.contains(step))
                state.setTool(tools.value(step));
            else if (step.startsWith(QLatin1Char('t')))
                state.setThickness(step.mid(1).toDouble());
            else
                state.setOpacity(step.mid(1).toDouble());
        }
        QFETCH(QString, tool);
        QCOMPARE(state.tool(), tools.value(tool));
        QTEST(state.drawThickness(), "thickness");
        QTEST(state.drawOpacity(), "opacity");
        const StrokeRecord made = state.stroke({{0, 0}, {1, 1}});
        const bool highlighter = state.tool() == PdfEditTool::highlighter;
        QCOMPARE(made.isHighlighter, highlighter);
        QCOMPARE(made.color, highlighter ? state.highlighterColor() : state.drawColor());
        QCOMPARE(made.thickness, state.drawThickness());
    }

    // Writes and removals of one file keep their order on its worker: a write asked for before a
    // removal never brings the file back.
    void backgroundSavesKeepTheirOrder_data()
    {
        QTest::addColumn<bool>("removeLast");
        QTest::newRow("write, then remove") << true;
        QTest::newRow("remove, then write") << false;
    }

    void backgroundSavesKeepTheirOrder()
    {
        QFETCH(bool, removeLast);
        const QString book = QStringLiteral("/Books/Order.pdf");
        PdfEditCacheFile some;
        some.strokesByPage.insert(0, {stroke(QLatin1Char('A'))});
        for (int round = 0; round < 20; ++round) {
            QVERIFY(PdfEditCacheCodec::saveInBackground(book, removeLast ? some : PdfEditCacheFile()));
            QVERIFY(PdfEditCacheCodec::saveInBackground(book, removeLast ? PdfEditCacheFile() : some));
            StateFile::waitForAllPendingWrites();
            QCOMPARE(QFile::exists(*PdfEditCacheCodec::filePath(book)), !removeLast);
        }
    }
};

LYRAFOLD_TEST_MAIN(AnnotationDocumentTest)
#include "tst_annotationdocument.moc"
