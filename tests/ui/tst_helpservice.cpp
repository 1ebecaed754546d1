#include "TestHarnessGui.h"
#include "core/common/AppSettings.h"
#include "ui/services/LyrafoldHelpCatalogue.h"
#include "ui/services/LyrafoldHelpService.h"

#include <QIcon>

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QScrollArea>
#include <QToolButton>
#include <algorithm>

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
        if (!QTest::qWaitForWindowExposed(m_window.get(), TestHarness::hangGuardMs))
            qFatal("the test window was not shown");
        return *m_window;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QIcon::setThemeSearchPaths({});
        QIcon::setFallbackSearchPaths({});
        QIcon::setThemeName(QStringLiteral("none"));
    }

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
                // Shortcuts are spelled with Ctrl on this platform.
                QVERIFY2(!body.contains(u'⌘'), qPrintable(body));
            }
        }
        for (const LyrafoldHelpEntry &entry : entries)
            QVERIFY2(entry.assetName.isEmpty() != entry.systemSymbol.isEmpty(), qPrintable(entry.title));
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

        // Escape closes it, wherever the focus is inside.
        QTest::keyClick(first->findChild<QScrollArea *>(), Qt::Key_Escape);
        QVERIFY(!first || !first->isVisible());
        helpButton(window)->click();
        QCOMPARE(panels(window).size(), 1);
        QVERIFY(panels(window).first() != first.data());
    }

    void panelTexts_data()
    {
        QTest::addColumn<LyrafoldLanguage>("language");
        QTest::addColumn<LyrafoldHelpTopic>("topic");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("entryTitle");
        QTest::addColumn<QString>("body");
        QTest::newRow("Spanish, English body")
            << LyrafoldLanguage::es << LyrafoldHelpTopic::main << u"Ayuda de Página principal"_s
            << u"PÁGINA PRINCIPAL"_s << u"Extract Bookmarks"_s
            << u"Scans your selected PDF folder and extracts bookmark titles into the table."_s;
        QTest::newRow("Spanish, own body")
            << LyrafoldLanguage::es << LyrafoldHelpTopic::main << u"Ayuda de Página principal"_s
            << u"PÁGINA PRINCIPAL"_s << u"Search and table"_s
            << u"La búsqueda filtra títulos y etiquetas. Al pasar el cursor se muestra una vista previa, al "
               u"hacer "
               u"clic se abre el PDF, + añade a una playlist y Compartir exporta un título."_s;
        // Turkish capitals keep the dot on İ.
        QTest::newRow("Turkish") << LyrafoldLanguage::tr << LyrafoldHelpTopic::workshop
                                 << u"Bookmark Atölyesi Yardım"_s << u"BOOKMARK ATÖLYESİ"_s
                                 << u"Hide / Show"_s
                                 << u"Grid içindeki kitap yazılarını gizler veya gösterir."_s;
        QTest::newRow("English")
            << LyrafoldLanguage::en << LyrafoldHelpTopic::autoPlaylist << u"Auto Playlist Help"_s
            << u"AUTO PLAYLIST"_s << u"Generate"_s
            << u"Builds the auto playlist using the selected filters and book priority."_s;
    }

    void panelTexts()
    {
        QFETCH(LyrafoldLanguage, language);
        QFETCH(LyrafoldHelpTopic, topic);
        QFETCH(QString, title);
        QFETCH(QString, header);
        QFETCH(QString, entryTitle);
        QFETCH(QString, body);
        AppSettings::setValue(AppSettings::uiLanguageKey, LyrafoldLanguageService::rawValue(language));
        QMainWindow &window = shownWindow();
        LyrafoldHelpService::installHelpButton(&window, topic);
        helpButton(window)->click();
        QWidget *panel = panels(window).value(0);
        QVERIFY(panel);
        QCOMPARE(panel->windowTitle(), title);
        const QStringList texts = labelTexts(panel);
        for (const QString &text : {header, entryTitle, body})
            QVERIFY2(texts.contains(text), qPrintable(text));
        // Every entry shows a picture, also where no icon theme is installed (as in this test).
        const QList<QLabel *> labels = panel->findChildren<QLabel *>();
        const auto pictures = std::count_if(labels.cbegin(), labels.cend(),
                                            [](const QLabel *label) { return !label->pixmap().isNull(); });
        QCOMPARE(pictures, LyrafoldHelpCatalogue::entries(topic).size());
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
