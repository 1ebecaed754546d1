#include "TestHarness.h"
#include "library/BookmarkTitleRules.h"

using namespace BookmarkTitleRules;

// The rules that turn hand-written outline labels into song titles, page markers and composers.
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

        QTest::newRow("note and range")
            << "Blue Night (Composer: A. Writer) (pages 12-14)" << 11LL << "Blue Night" << 12LL << 3LL;
        QTest::newRow("range in capitals, blanks around hyphen")
            << "Blue Night (PAGES 3 - 5)" << 0LL << "Blue Night" << 3LL << 3LL;
        QTest::newRow("range without blank before")
            << "Blue Night(pages 3-5)" << 0LL << "Blue Night(pages 3-5)" << 0LL << 1LL;
        QTest::newRow("range backwards")
            << "Blue Night (pages 5-3)" << 4LL << "Blue Night (pages 5-3)" << 4LL << 1LL;
        QTest::newRow("range from zero")
            << "Blue Night (pages 0-3)" << 4LL << "Blue Night (pages 0-3)" << 4LL << 1LL;
        QTest::newRow("range beyond 64 bits") << "Blue Night (pages 1-99999999999999999999)" << 4LL
                                              << "Blue Night (pages 1-99999999999999999999)" << 4LL << 1LL;
        QTest::newRow("leading page") << "07 Blue Night" << 30LL << "Blue Night" << 7LL << 1LL;
        QTest::newRow("leading page beats range")
            << "12 Blue Night (pages 30-32)" << 0LL << "Blue Night" << 12LL << 3LL;
        QTest::newRow("leading year-like page") << "1955 Shuffle" << 0LL << "Shuffle" << 1955LL << 1LL;
        QTest::newRow("five leading digits") << "12345 Shuffle" << 0LL << "12345 Shuffle" << 0LL << 1LL;
        QTest::newRow("leading zero page") << "0 Intro" << 5LL << "Intro" << 0LL << 1LL;
        QTest::newRow("leading Arabic-Indic digits")
            << QString::fromUtf8("٠٧ Blue Night") << 3LL << QString::fromUtf8("٠٧ Blue Night") << 3LL << 1LL;
        QTest::newRow("trailing page after en dash")
            << QString::fromUtf8("Blue Night – 45") << 0LL << "Blue Night" << 45LL << 1LL;
        QTest::newRow("trailing page ignored with a page")
            << QString::fromUtf8("Blue Night – 45") << 9LL << "Blue Night - 45" << 9LL << 1LL;
        QTest::newRow("trailing page after leading page")
            << "12 Blue Night - 45" << 0LL << "Blue Night - 45" << 12LL << 1LL;
        QTest::newRow("trailing page needs blanks")
            << "Blue Night -45" << 0LL << "Blue Night -45" << 0LL << 1LL;
        QTest::newRow("trailing Arabic-Indic digits") << QString::fromUtf8("Blue Night - ٤٥") << 0LL
                                                      << QString::fromUtf8("Blue Night - ٤٥") << 0LL << 1LL;
        QTest::newRow("all dash characters")
            << QString::fromUtf8("A—B―C•D·E") << 1LL << "A-B-C-D-E" << 1LL << 1LL;
        QTest::newRow("note joined as is")
            << "Blue Night (composer= Ann Lee) Intro" << 1LL << "Blue Night  Intro" << 1LL << 1LL;
        QTest::newRow("same marker twice")
            << "A (Composer: X) B (Composer: Y)" << 1LL << "A  B (Composer: Y)" << 1LL << 1LL;
        QTest::newRow("note without marker stays")
            << "Blue Night (Composer Ann Lee)" << 1LL << "Blue Night (Composer Ann Lee)" << 1LL << 1LL;
        // A square note ends at its own bracket: what follows it is still the title.
        QTest::newRow("square note keeps later brackets")
            << "Song [Composer: Ann Lee] (Live)" << 1LL << "Song  (Live)" << 1LL << 1LL;
        QTest::newRow("square note then range")
            << "Song [Composer= Ann Lee (Jr.)] (pages 3-4)" << 0LL << "Song" << 3LL << 2LL;
        QTest::newRow("round note ignores square bracket")
            << "Song (Composer: Ann] Lee) X" << 1LL << "Song  X" << 1LL << 1LL;
        QTest::newRow("unclosed note runs to the end")
            << "Song (Composer: Ann Lee] (Live" << 1LL << "Song" << 1LL << 1LL;
        QTest::newRow("square note first") << "[Composer: Ann Lee] Song" << 1LL << "Song" << 1LL << 1LL;
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
        QTest::addColumn<bool>("absent");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("excluded");

        QTest::newRow("absent") << true << QString() << true;
        QTest::newRow("empty") << false << QString() << true;
        QTest::newRow("blanks") << false << " \t\n " << true;
        QTest::newRow("parenthesised") << false << "(Intro)" << true;
        QTest::newRow("square") << false << "[12]" << true;
        QTest::newRow("braced") << false << "{Index}" << true;
        QTest::newRow("symbols") << false << "***" << true;
        QTest::newRow("dashes") << false << QString::fromUtf8("– • —") << true;
        QTest::newRow("only notes") << false << "(a) [b] {c}" << true;
        QTest::newRow("letters beside a note") << false << "Index {p. 4}" << false;
        QTest::newRow("a number") << false << "1" << false;
        QTest::newRow("roman numeral") << false << QString::fromUtf8("Ⅳ") << false;
        QTest::newRow("combining mark") << false << QString::fromUtf8("\u0301") << false;
        QTest::newRow("letters outside the BMP") << false << QString::fromUtf8("𝔄𝔅") << false;
    }

    void exclusion()
    {
        QFETCH(bool, absent);
        QFETCH(QString, text);
        QTEST(shouldExcludeBookmarkTitle(absent ? std::nullopt : std::optional<QString>(text)), "excluded");
    }

    void composerNotes_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("composer");

        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("square marker") << "Blue Night [composer=Ann Lee]"
                                       << "Ann Lee";
        QTest::newRow("pattern 1, blank before colon") << "Blue Night (composer : Ann Lee)"
                                                       << "Ann Lee";
        QTest::newRow("pattern 2") << "Blue Night (Composer Ann Lee)"
                                   << "Ann Lee";
        QTest::newRow("pattern 4") << "Blue Night (Composer) Ann Lee [Live]"
                                   << "Ann Lee";
        QTest::newRow("pattern 4 at the end") << "Blue Night (Composer)  Ann Lee  "
                                              << "Ann Lee";
        QTest::newRow("empty note") << "Blue Night (Composer: )" << QString();
        QTest::newRow("note trimmed") << "Blue Night (Composer: - Ann Lee.;)"
                                      << "Ann Lee";
        QTest::newRow("marker order") << "Song [Composer: Bo Ray] (Composer: Ann Lee)"
                                      << "Ann Lee";
        QTest::newRow("no note") << "Song - Composer: Ann Lee" << QString();
        QTest::newRow("CJK name") << QString::fromUtf8("Song (Composer: 久石譲)")
                                  << QString::fromUtf8("久石譲");
        QTest::newRow("199 characters") << "Song (Composer: " + QStringLiteral("x").repeated(199) + ")"
                                        << QStringLiteral("x").repeated(199);
        QTest::newRow("200 characters")
            << "Song (Composer: " + QStringLiteral("x").repeated(200) + ")" << QString();
        QTest::newRow("199 characters of two code units")
            << "Song (Composer: " + QString::fromUtf8("e\u0301").repeated(199) + ")"
            << QString::fromUtf8("e\u0301").repeated(199);
        QTest::newRow("square note before brackets") << "Song [Composer: Ann Lee] (Live)"
                                                     << "Ann Lee";
        QTest::newRow("round note past a square bracket") << "Song (Composer: Ann] Lee) X"
                                                          << "Ann] Lee";
        QTest::newRow("unclosed note") << "Song (Composer: Ann Lee"
                                       << "Ann Lee";
        QTest::newRow("unclosed round note, square later") << "Song (Composer=Ann Lee] x"
                                                           << "Ann Lee] x";
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

        QTest::newRow("two names") << "Ann Lee" << true;
        QTest::newRow("pair with ampersand") << "Ann Lee & Bo Ray" << true;
        QTest::newRow("slash separates words") << "Ann/Bo" << true;
        QTest::newRow("comma separates words") << "Lee,Ray" << true;
        QTest::newRow("tab and no-break space") << QString::fromUtf8("Ann\tLee\u00A0Ray") << true;
        QTest::newRow("initial") << "Stephen C. Foster" << true;
        QTest::newRow("Turkish capitals") << QString::fromUtf8("İsmail Şen") << true;
        QTest::newRow("decomposed capital") << QString::fromUtf8("E\u0301lise Ray") << true;
        QTest::newRow("decomposed small letter") << QString::fromUtf8("e\u0301lise Ray") << false;
        QTest::newRow("roman numeral is upper case") << QString::fromUtf8("Henry Ⅷ") << true;
        QTest::newRow("eight words") << "A B C D E F G H" << true;
        QTest::newRow("nine words") << "A B C D E F G H I" << false;
        QTest::newRow("one word") << "Live" << false;
        QTest::newRow("digits") << "Ann Lee 1959" << false;
        QTest::newRow("other script digits") << QString::fromUtf8("Ann ٣ Lee") << false;
        QTest::newRow("all small") << "ann lee" << false;
        QTest::newRow("one capital") << "Ann lee" << false;
        QTest::newRow("listed word") << "Ann Lee Live Band" << false;
        QTest::newRow("listed word inside a name") << "Edith Rowe" << false;
        QTest::newRow("from needs its blank") << "Fromm Ann" << true;
        QTest::newRow("blank") << "  " << false;
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

        QTest::newRow("parenthesised") << "Blue Night (Ann Lee)"
                                       << "Blue Night"
                                       << "Ann Lee";
        QTest::newRow("bracketed") << "Blue Night [Ann Lee]"
                                   << "Blue Night"
                                   << "Ann Lee";
        QTest::newRow("pair kept whole") << "Blue Night (Ann Lee & Bo Ray)"
                                         << "Blue Night"
                                         << "Ann Lee & Bo Ray";
        QTest::newRow("trimmed around") << "  Oh! Susanna (Stephen C. Foster)  "
                                        << "Oh! Susanna"
                                        << "Stephen C. Foster";
        QTest::newRow("note-trimmed name") << "Blue Night (- Ann Lee.)"
                                           << "Blue Night"
                                           << "Ann Lee";
        QTest::newRow("square before round") << "Blue Night [Live] (Ann Lee)"
                                             << "Blue Night [Live]"
                                             << "Ann Lee";
        QTest::newRow("one word") << "Blue Night (Live)"
                                  << "Blue Night (Live)" << QString();
        QTest::newRow("round") << "Dona nobis pacem (Round)"
                               << "Dona nobis pacem (Round)" << QString();
        QTest::newRow("year") << "Blue Night (1959)"
                              << "Blue Night (1959)" << QString();
        QTest::newRow("life years") << QString::fromUtf8("Dixie (Dan Emmett 1815–1904)")
                                    << QString::fromUtf8("Dixie (Dan Emmett 1815–1904)") << QString();
        QTest::newRow("small letters") << "Blue Night (ann lee)"
                                       << "Blue Night (ann lee)" << QString();
        QTest::newRow("one capital") << "Blue Night (Ann lee)"
                                     << "Blue Night (Ann lee)" << QString();
        QTest::newRow("band") << "Blue Night (Ann Lee Live Band)"
                              << "Blue Night (Ann Lee Live Band)" << QString();
        QTest::newRow("nothing before") << "(Ann Lee)"
                                        << "(Ann Lee)" << QString();
        QTest::newRow("not at the end") << "Blue Night (Ann Lee) [Live]"
                                        << "Blue Night (Ann Lee) [Live]" << QString();
        QTest::newRow("blank kept when unchanged") << "  (Live)  "
                                                   << "  (Live)  " << QString();
        QTest::newRow("empty") << QString() << QString() << QString();
    }

    void trailingComposer()
    {
        QFETCH(QString, input);
        const TitleAndComposer split = extractTrailingComposerFromTitle(input);
        QTEST(split.title, "title");
        QTEST(split.composer, "composer");
    }
};

LYRAFOLD_TEST_MAIN(TitleRulesTest)
#include "tst_titlerules.moc"
