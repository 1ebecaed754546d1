#include "TestHarness.h"
#include "core/text/TextUtils.h"
#include "core/titles/BookmarkTitleRules.h"

#include <array>

using namespace BookmarkTitleRules;

namespace {

// One row per pair of texts, named after its input.
void addTextRows(std::initializer_list<std::pair<const char *, const char *>> rows)
{
    for (const auto &[input, expected] : rows)
        QTest::newRow(input) << QString::fromUtf8(input) << QString::fromUtf8(expected);
}

void addFlagRows(std::initializer_list<std::pair<const char *, bool>> rows)
{
    for (const auto &[input, expected] : rows)
        QTest::newRow(input) << QString::fromUtf8(input) << expected;
}

} // namespace

// The rules that turn hand-written outline labels into song titles, page markers and composers, and
// the folding every title gets on its way in.
class TitleRulesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleaning_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<qint64>("pageIn");
        QTest::addColumn<QString>("title");
        QTest::addColumn<qint64>("page");
        QTest::addColumn<qint64>("span");

        struct Row {
            const char *label;
            qint64 pageIn;
            const char *title; // nullptr: the label unchanged
            qint64 page;
            qint64 span;
        };
        const Row rows[] = {
            {"Blue Night (Composer: A. Writer) (pages 12-14)", 11, "Blue Night", 12, 3},
            {"Blue Night (PAGES 3 - 5)", 0, "Blue Night", 3, 3},
            {"Blue Night(pages 3-5)", 0, nullptr, 0, 1},
            {"Blue Night (pages 5-3)", 4, nullptr, 4, 1},
            {"Blue Night (pages 1-99999999999999999999)", 4, nullptr, 4, 1},
            {"07 Blue Night", 30, "Blue Night", 7, 1},
            {"12 Blue Night (pages 30-32)", 0, "Blue Night", 12, 3},
            {"1955 Shuffle", 0, "Shuffle", 1955, 1},
            {"12345 Shuffle", 0, nullptr, 0, 1},
            {"0 Intro", 5, "Intro", 0, 1},
            {"٠٧ Blue Night", 3, nullptr, 3, 1},
            {"Blue Night – 45", 0, "Blue Night", 45, 1},
            {"Blue Night – 45", 9, "Blue Night - 45", 9, 1},
            {"12 Blue Night - 45", 0, "Blue Night - 45", 12, 1},
            {"A—B―C•D·E", 1, "A-B-C-D-E", 1, 1},
            {"Blue Night (composer= Ann Lee) Intro", 1, "Blue Night  Intro", 1, 1},
            {"A (Composer: X) B (Composer: Y)", 1, "A  B (Composer: Y)", 1, 1},
            {"Blue Night (Composer Ann Lee)", 1, nullptr, 1, 1},
            // A note ends at the bracket that matches its own; without one it runs to the end.
            {"Song [Composer: Ann Lee] (Live)", 1, "Song  (Live)", 1, 1},
            {"Song [Composer= Ann Lee (Jr.)] (pages 3-4)", 0, "Song", 3, 2},
            {"Song (Composer: Ann] Lee) X", 1, "Song  X", 1, 1},
            {"Song (Composer: Ann Lee] (Live", 1, "Song", 1, 1},
            // One line of plain direction: line breaks and directional controls become a space.
            {"Autumn Leaves\n   Spotify: https://evil.example/phish", 1,
             "Autumn Leaves    Spotify: https://evil.example/phish", 1, 1},
            {"A\r\nB\u2028C\u0085D\vE\fF\u2029G", 1, "A B C D E F G", 1, 1},
            {"Set\u202Eftxt.exe", 1, "Set ftxt.exe", 1, 1},
            {"\u2066A\u2069 \u202AB\u202C", 1, "A   B", 1, 1},
        };
        for (const Row &row : rows) {
            QTest::addRow("%s, page %lld", row.label, row.pageIn)
                << QString::fromUtf8(row.label) << row.pageIn
                << QString::fromUtf8(row.title ? row.title : row.label) << row.page << row.span;
        }
    }

    void cleaning()
    {
        QFETCH(QString, label);
        QFETCH(qint64, pageIn);
        qint64 page = pageIn;
        qint64 span = 1;
        QTEST(cleanTitle(label, page, span), "title");
        QTEST(page, "page");
        QTEST(span, "span");
    }

    void exclusion_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("excluded");
        addFlagRows({{" \t\n ", true},
                     {"(Intro)", true},
                     {"[12]", true},
                     {"{Index}", true},
                     {"***", true},
                     {"Index {p. 4}", false},
                     {"1", false},
                     {"Ⅳ", false},
                     {"\u0301", false}});
    }

    void exclusion()
    {
        QFETCH(QString, text);
        QTEST(shouldExcludeBookmarkTitle(text), "excluded");
        QVERIFY(shouldExcludeBookmarkTitle(std::nullopt));
    }

    void composerNotes_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("composer");
        addTextRows({
            {"Blue Night [composer=Ann Lee]", "Ann Lee"},
            {"Blue Night (composer : Ann Lee)", "Ann Lee"},
            {"Blue Night (Composer Ann Lee)", "Ann Lee"},
            {"Blue Night (Composer) Ann Lee [Live]", "Ann Lee"},
            {"Blue Night (Composer: )", ""},
            {"Blue Night (Composer: - Ann Lee.;)", "Ann Lee"},
            {"Song [Composer: Bo Ray] (Composer: Ann Lee)", "Ann Lee"},
            // A note ends at the bracket that matches its own; without one it runs to the end.
            {"Song [Composer: Ann Lee] (Live)", "Ann Lee"},
            {"Song (Composer: Ann] Lee) X", "Ann] Lee"},
            {"Song (Composer: Ann Lee", "Ann Lee"},
            {"Song (Composer=Ann Lee] x", "Ann Lee] x"},
        });
        QTest::newRow("200 characters")
            << "Song (Composer: " + QStringLiteral("x").repeated(200) + ")" << QString();
        const QString accented = QString::fromUtf8("e\u0301").repeated(199);
        QTest::newRow("199 characters of two code units") << "Song (Composer: " + accented + ")" << accented;
    }

    void composerNotes()
    {
        QFETCH(QString, label);
        QTEST(extractComposerFromBookmarkTitle(label), "composer");
    }

    void composerLikeness_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("likely");
        addFlagRows({
            {"Ann Lee", true},
            {"Ann Lee & Bo Ray", true},
            {"Ann\tLee\u00A0Ray", true},
            {"E\u0301lise Ray", true},
            {"e\u0301lise Ray", false},
            {"Henry Ⅷ", true},
            {"A B C D E F G H", true},
            {"A B C D E F G H I", false},
            {"Live", false},
            {"Ann Lee 1959", false},
            {"Ann ٣ Lee", false},
            {"Ann lee", false},
            {"Ann Lee Live Band", false},
            {"Edith Rowe", false},
            {"Fromm Ann", true},
        });
        QTest::newRow("200 characters") << "Ann " + QStringLiteral("L").repeated(196) << true;
        QTest::newRow("201 characters") << "Ann " + QStringLiteral("L").repeated(197) << false;
        QTest::newRow("200 characters of two code units")
            << "Ann " + QString::fromUtf8("E\u0301").repeated(196) << true;
    }

    void composerLikeness()
    {
        QFETCH(QString, text);
        QTEST(isLikelyComposerText(text), "likely");
    }

    void trailingComposer_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("composer");

        const std::array<const char *, 3> splits[] = {
            {"Blue Night (Ann Lee)", "Blue Night", "Ann Lee"},
            {"Blue Night [Ann Lee]", "Blue Night", "Ann Lee"},
            {"Blue Night (Ann Lee & Bo Ray)", "Blue Night", "Ann Lee & Bo Ray"},
            {"  Blue Night  (- Ann Lee.)  ", "Blue Night", "Ann Lee"},
            {"Blue Night [Live] (Ann Lee)", "Blue Night [Live]", "Ann Lee"},
        };
        for (const auto &[input, title, composer] : splits)
            QTest::newRow(input) << QString::fromUtf8(input) << QString::fromUtf8(title)
                                 << QString::fromUtf8(composer);
        for (const char *input : {"Blue Night (Live)", "Blue Night (1959)", "Dixie (Dan Emmett 1815–1904)",
                                  "Blue Night (ann lee)", "Blue Night (Ann lee)",
                                  "Blue Night (Ann Lee Live Band)", "(Ann Lee)", "  (Live)  "})
            QTest::newRow(input) << QString::fromUtf8(input) << QString::fromUtf8(input) << QString();
    }

    void trailingComposer()
    {
        QFETCH(QString, input);
        const TitleAndComposer split = extractTrailingComposerFromTitle(input);
        QTEST(split.title, "title");
        QTEST(split.composer, "composer");
    }

    // Every title that comes in is one line without control characters, at most 300 UTF-16 units, cut
    // between two user-perceived characters; a folded title folds to itself.
    void foldedTitles_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("folded");
        const QString a299(299, u'a');
        QTest::newRow("plain") << "Autumn Leaves"
                               << "Autumn Leaves";
        QTest::newRow("C0 controls and DEL") << "Ctl\x01\x07\x1b\x7f"
                                                "chars"
                                             << "Ctlchars";
        QTest::newRow("NUL") << QString::fromUtf16(u"Nul\u0000Byte", 8) << "NulByte";
        QTest::newRow("C1 control") << QString::fromUtf16(u"C1\u009Bx") << "C1x";
        QTest::newRow("tabs") << "Tab\tin\t\nthe middle"
                              << "Tab in the middle";
        QTest::newRow("line breaks") << QString::fromUtf16(u"Line\u2028Sep\r\nNEL\u0085VT\vFF\f.")
                                     << "Line Sep NEL VT FF .";
        QTest::newRow("bidi override") << QString::fromUtf16(u"Set\u202Eftxt.exe") << "Set ftxt.exe";
        QTest::newRow("300 whole") << QString(300, u'x') << QString(300, u'x');
        QTest::newRow("301 cut") << QString(301, u'x') << QString(300, u'x');
        QTest::newRow("100,000 cut") << "Long " + QString(100000, u'A') << "Long " + QString(295, u'A');
        QTest::newRow("accent not cut from its letter") << a299 + QString::fromUtf16(u"e\u0301z") << a299;
        QTest::newRow("surrogate pair not split") << a299 + QString::fromUtf16(u"\U0001D11E") << a299;
        QTest::newRow("controls gone before the cut")
            << QString(10, u'\x01') + QString(300, u'y') << QString(300, u'y');
    }

    void foldedTitles()
    {
        QFETCH(QString, input);
        QFETCH(QString, folded);
        QCOMPARE(TextUtils::foldedTitle(input), folded);
        QCOMPARE(TextUtils::foldedTitle(folded), folded);
    }
};

LYRAFOLD_TEST_MAIN(TitleRulesTest)
#include "tst_titlerules.moc"
