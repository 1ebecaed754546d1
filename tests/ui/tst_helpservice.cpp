#include "TestHarnessGui.h"
#include "common/AppSettings.h"
#include "services/LyrafoldHelpService.h"

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QToolButton>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(LyrafoldLanguage)
Q_DECLARE_METATYPE(LyrafoldHelpTopic)

namespace {

QToolButton *helpButton(QMainWindow &window)
{
    return window.centralWidget()->findChild<QToolButton *>(
        QLatin1String(LyrafoldHelpService::helpButtonName));
}

QList<QWidget *> panels(QMainWindow &window)
{
    return window.findChildren<QWidget *>(QLatin1String(LyrafoldHelpService::helpPanelName),
                                          Qt::FindDirectChildrenOnly);
}

QStringList labelTexts(QWidget *panel)
{
    QStringList texts;
    for (const QLabel *label : panel->findChildren<QLabel *>())
        texts.append(label->text());
    return texts;
}

} // namespace

class HelpServiceTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QMainWindow> m_window;

    QMainWindow &shownWindow(QSize size = {900, 600})
    {
        m_window = std::make_unique<QMainWindow>();
        m_window->setWindowTitle(u"LYRAFOLD (beta)"_s);
        m_window->setCentralWidget(new QWidget);
        m_window->resize(size);
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()))
            qFatal("the test window was not shown");
        return *m_window;
    }

private Q_SLOTS:
    void init() { AppSettings::remove(AppSettings::uiLanguageKey); }
    void cleanup() { m_window.reset(); }

    void catalogueCoversEveryTopic_data()
    {
        QTest::addColumn<LyrafoldHelpTopic>("topic");
        QTest::addColumn<int>("count");
        QTest::newRow("main") << LyrafoldHelpTopic::main << 12;
        QTest::newRow("pdfViewer") << LyrafoldHelpTopic::pdfViewer << 5;
        QTest::newRow("playlists") << LyrafoldHelpTopic::playlists << 6;
        QTest::newRow("autoPlaylist") << LyrafoldHelpTopic::autoPlaylist << 7;
        QTest::newRow("workshop") << LyrafoldHelpTopic::workshop << 6;
    }

    void catalogueCoversEveryTopic()
    {
        QFETCH(LyrafoldHelpTopic, topic);
        QFETCH(int, count);
        QVERIFY(LyrafoldHelpCatalogue::topics().contains(topic));
        const auto entries = LyrafoldHelpCatalogue::entries(topic);
        QCOMPARE(entries.size(), count);
        for (const auto language : {LyrafoldLanguage::en, LyrafoldLanguage::tr, LyrafoldLanguage::es}) {
            QVERIFY(!LyrafoldHelpCatalogue::topicTitle(topic, language).isEmpty());
            for (const LyrafoldHelpEntry &entry : entries) {
                const QString body = entry.body(language);
                QVERIFY2(!entry.title.isEmpty() && !body.isEmpty(), qPrintable(entry.title));
                // Nothing the Linux build lacks: no song-recognition product, no system PDF kit, no
                // personal slot name, no Apple key symbol.
                for (const auto word : {"Shazam"_L1, "PDFKit"_L1, "RUZU"_L1, "AirDrop"_L1})
                    QVERIFY2(!body.contains(word, Qt::CaseInsensitive), qPrintable(body));
                QVERIFY2(!body.contains(u'⌘'), qPrintable(body));
            }
        }
        for (const LyrafoldHelpEntry &entry : entries)
            QVERIFY2(entry.assetName.isEmpty() != entry.systemSymbol.isEmpty(), qPrintable(entry.title));
    }

    void panelTitlesHoldTheClosingWord()
    {
        const std::pair<LyrafoldLanguage, QString> words[] = {{LyrafoldLanguage::en, u"Help"_s},
                                                              {LyrafoldLanguage::tr, u"Yardım"_s},
                                                              {LyrafoldLanguage::es, u"Ayuda"_s}};
        for (const auto topic : LyrafoldHelpCatalogue::topics()) {
            for (const auto &[language, word] : words)
                QVERIFY(LyrafoldHelpCatalogue::panelTitle(topic, language).contains(word));
        }
    }

    void installingTwiceKeepsTheFirstTopic()
    {
        QMainWindow &window = shownWindow();
        LyrafoldHelpService::installHelpButton(&window, LyrafoldHelpTopic::main);
        LyrafoldHelpService::installHelpButton(&window, LyrafoldHelpTopic::playlists);
        QCOMPARE(window.centralWidget()
                     ->findChildren<QToolButton *>(QLatin1String(LyrafoldHelpService::helpButtonName))
                     .size(),
                 1);
        helpButton(window)->click();
        QCOMPARE(panels(window).size(), 1);
        QCOMPARE(panels(window).first()->windowTitle(), u"Main Page Help"_s);
    }

    void secondClickRaisesTheOpenPanel()
    {
        QMainWindow &window = shownWindow();
        LyrafoldHelpService::installHelpButton(&window, LyrafoldHelpTopic::workshop);
        helpButton(window)->click();
        QPointer<QWidget> first = panels(window).value(0);
        QVERIFY(first && first->isVisible());
        helpButton(window)->click();
        QCOMPARE(panels(window), QList<QWidget *>{first.data()});

        first->close();
        helpButton(window)->click();
        QCOMPARE(panels(window).size(), 1);
        QVERIFY(panels(window).first() != first.data());
    }

    void spanishMainPanel()
    {
        AppSettings::setValue(AppSettings::uiLanguageKey, u"es"_s);
        QMainWindow &window = shownWindow();
        LyrafoldHelpService::installHelpButton(&window, LyrafoldHelpTopic::main);
        helpButton(window)->click();
        QWidget *panel = panels(window).value(0);
        QVERIFY(panel);
        QCOMPARE(panel->windowTitle(), u"Ayuda de Página principal"_s);
        const QStringList texts = labelTexts(panel);
        QVERIFY(texts.contains(u"PÁGINA PRINCIPAL"_s));
        QVERIFY(texts.contains(u"Extract Bookmarks"_s));
        QVERIFY(
            texts.contains(u"Scans your selected PDF folder and extracts bookmark titles into the table."_s));
        QVERIFY(texts.contains(
            u"La búsqueda filtra títulos y etiquetas. Al pasar el cursor se muestra una vista "
            u"previa, al hacer clic se abre el PDF, + añade a una playlist y Compartir exporta "
            u"un título."_s));
    }

    void turkishHeaderUsesTurkishCapitals()
    {
        AppSettings::setValue(AppSettings::uiLanguageKey, u"tr"_s);
        QMainWindow &window = shownWindow();
        LyrafoldHelpService::installHelpButton(&window, LyrafoldHelpTopic::workshop);
        helpButton(window)->click();
        QWidget *panel = panels(window).value(0);
        QVERIFY(panel);
        QCOMPARE(panel->windowTitle(), u"Bookmark Atölyesi Yardım"_s);
        QVERIFY2(labelTexts(panel).contains(u"BOOKMARK ATÖLYESİ"_s),
                 qPrintable(labelTexts(panel).join('|'_L1)));
    }

    void buttonStaysInTheCorner_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("main window") << QSize(1380, 640);
        QTest::newRow("small") << QSize(420, 300);
    }

    void buttonStaysInTheCorner()
    {
        QFETCH(QSize, size);
        QMainWindow &window = shownWindow({900, 600});
        LyrafoldHelpService::installHelpButton(&window, LyrafoldHelpTopic::main);
        window.resize(size);
        QCoreApplication::processEvents();
        const QWidget *content = window.centralWidget();
        QCOMPARE(helpButton(window)->geometry(), QRect(content->width() - 42, 10, 32, 32));
    }

    void languageSwitchClosesThePanel_data()
    {
        QTest::addColumn<LyrafoldLanguage>("openedIn");
        QTest::addColumn<LyrafoldLanguage>("switchedTo");
        QTest::newRow("en to tr") << LyrafoldLanguage::en << LyrafoldLanguage::tr;
        QTest::newRow("tr to es") << LyrafoldLanguage::tr << LyrafoldLanguage::es;
        QTest::newRow("es to en") << LyrafoldLanguage::es << LyrafoldLanguage::en;
        QTest::newRow("tr to tr") << LyrafoldLanguage::tr << LyrafoldLanguage::tr;
    }

    void languageSwitchClosesThePanel()
    {
        QFETCH(LyrafoldLanguage, openedIn);
        QFETCH(LyrafoldLanguage, switchedTo);
        AppSettings::setValue(AppSettings::uiLanguageKey, LyrafoldLanguageService::rawValue(openedIn));
        QMainWindow &window = shownWindow();
        LyrafoldHelpService::installHelpButton(&window, LyrafoldHelpTopic::playlists);
        helpButton(window)->click();
        QPointer<QWidget> panel = panels(window).value(0);
        QVERIFY(panel);

        LyrafoldLanguageService::setCurrent(switchedTo);
        QCoreApplication::processEvents();
        QVERIFY(!panel || !panel->isVisible());
        QVERIFY(window.isVisible());

        helpButton(window)->click();
        QCOMPARE(panels(window).size(), 1);
        QCOMPARE(panels(window).first()->windowTitle(),
                 LyrafoldHelpCatalogue::panelTitle(LyrafoldHelpTopic::playlists, switchedTo));
    }
};

LYRAFOLD_TEST_GUI_MAIN(HelpServiceTest)
#include "tst_helpservice.moc"
