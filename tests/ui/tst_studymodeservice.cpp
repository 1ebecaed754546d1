#include "OpenedUrls.h"
#include "TestHarnessGui.h"
#include "core/common/AppSettings.h"
#include "core/playlist/PlaylistRows.h"
#include "core/share/PlaylistTextExport.h"
#include "ui/common/StudyModeService.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>

enum class SearchPlace { titleCard, studyMode, playlistExport };
Q_DECLARE_METATYPE(SearchPlace)

class StudyModeServiceTest : public QObject {
    Q_OBJECT

    OpenedUrls m_opened;

private Q_SLOTS:
    void initTestCase() { QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_opened, "open"); }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }

    void init()
    {
        AppSettings::remove(AppSettings::studyModeProviderKey);
        m_opened.urls.clear();
    }

    void storedProvider_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<StudyModeProvider>("expected");
        QTest::addColumn<QString>("selected");
        QTest::newRow("absent") << QVariant() << StudyModeProvider::spotify << "Spotify";
        QTest::newRow("youtube") << QVariant("youtube") << StudyModeProvider::youtube << "YouTube";
        QTest::newRow("letter case counts") << QVariant("YouTube") << StudyModeProvider::spotify << "Spotify";
        QTest::newRow("capital Spotify") << QVariant("Spotify") << StudyModeProvider::spotify << "Spotify";
        QTest::newRow("not a text") << QVariant(1) << StudyModeProvider::spotify << "Spotify";
    }

    void storedProvider()
    {
        QFETCH(QVariant, stored);
        QFETCH(StudyModeProvider, expected);
        QFETCH(QString, selected);
        if (stored.isValid())
            AppSettings::setValue(AppSettings::studyModeProviderKey, stored);
        QCOMPARE(StudyModeService::provider(), expected);

        QComboBox popup;
        popup.addItem(QStringLiteral("left over"));
        StudyModeService::configure(&popup);
        QCOMPARE(popup.count(), 2);
        QCOMPARE(popup.itemText(0), QStringLiteral("Spotify"));
        QCOMPARE(popup.itemData(1).toString(), QStringLiteral("youtube"));
        QCOMPARE(popup.currentText(), selected);
    }

    void popupChoiceIsStored_data()
    {
        QTest::addColumn<QVariant>("itemData");
        QTest::addColumn<QString>("stored");
        QTest::newRow("youtube") << QVariant("youtube") << "youtube";
        QTest::newRow("no item data") << QVariant() << "spotify";
        QTest::newRow("data not a text") << QVariant(QByteArray("youtube")) << "spotify";
    }

    void popupChoiceIsStored()
    {
        QFETCH(QVariant, itemData);
        QFETCH(QString, stored);
        QComboBox popup;
        popup.addItem(QStringLiteral("item"), itemData);
        StudyModeService::setProvider(&popup);
        QCOMPARE(AppSettings::stringValue(AppSettings::studyModeProviderKey), stored);

        popup.clear();
        QCOMPARE(StudyModeService::provider(&popup), StudyModeProvider::spotify);
    }

    void openUsesTheStoredProvider()
    {
        AppSettings::setValue(AppSettings::studyModeProviderKey, QStringLiteral("youtube"));
        StudyModeService::openProvider(QStringLiteral("So What"));
        StudyModeService::openProvider(QStringLiteral("   "));
        AppSettings::setValue(AppSettings::studyModeProviderKey, QStringLiteral("spotify"));
        StudyModeService::openProvider(QStringLiteral(" AC/DC "));
        QCOMPARE(m_opened.urls.size(), 2);
        QCOMPARE(m_opened.urls[0].toEncoded(),
                 QByteArray("https://www.youtube.com/results?search_query=So%20What"));
        QCOMPARE(m_opened.urls[1].toEncoded(), QByteArray("https://open.spotify.com/search/AC%2FDC"));
    }

    // A title card searches the title as it is stored, as the main window's search buttons do; study
    // mode and the playlist exports search it without the blanks around it.
    void titleSearchFromEachPlace_data()
    {
        QTest::addColumn<SearchPlace>("place");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("query");
        const QString nightAndDay = QStringLiteral(" Night & Day ");
        QTest::newRow("title card") << SearchPlace::titleCard << nightAndDay << "%20Night%20%26%20Day%20";
        QTest::newRow("study mode") << SearchPlace::studyMode << nightAndDay << "Night%20%26%20Day";
        QTest::newRow("playlist export") << SearchPlace::playlistExport << nightAndDay << "Night%20%26%20Day";
    }

    void titleSearchFromEachPlace()
    {
        QFETCH(SearchPlace, place);
        QFETCH(QString, title);
        QFETCH(QString, query);
        PlaylistItem item;
        item.title = title;
        const auto address = [&](bool youtube) {
            switch (place) {
            case SearchPlace::titleCard:
                return PlaylistRows::linkAddress(item, youtube ? PlaylistRows::Link::youtube
                                                               : PlaylistRows::Link::spotify);
            case SearchPlace::studyMode:
                return StudyModeService::url(title, youtube ? StudyModeProvider::youtube
                                                            : StudyModeProvider::spotify)
                    .value_or(QUrl());
            case SearchPlace::playlistExport:
                return youtube ? PlaylistTextExport::effectiveYouTubeURL(item)
                               : PlaylistTextExport::effectiveSpotifyURL(item);
            }
            return QUrl();
        };
        QCOMPARE(address(true).toEncoded(),
                 "https://www.youtube.com/results?search_query=" + query.toLatin1());
        QCOMPARE(address(false).toEncoded(), "https://open.spotify.com/search/" + query.toLatin1());
    }

    // Two windows' controls: a choice made in one is stored, and the other shows it when its window
    // comes forward.
    void controlsFollowTheOtherWindows()
    {
        AppSettings::remove(AppSettings::studyModeEnabledKey);
        QWidget first;
        QWidget second;
        const StudyModeService::Controls here = StudyModeService::makeControls();
        const StudyModeService::Controls there = StudyModeService::makeControls();
        here.checkbox->setParent(&first);
        here.providerPopup->setParent(&first);
        there.checkbox->setParent(&second);
        there.providerPopup->setParent(&second);

        here.checkbox->click();
        here.providerPopup->setCurrentIndex(1);
        Q_EMIT here.providerPopup->activated(1);
        QVERIFY(AppSettings::boolValue(AppSettings::studyModeEnabledKey));
        QCOMPARE(StudyModeService::provider(), StudyModeProvider::youtube);
        QVERIFY(!there.checkbox->isChecked());

        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(there.checkbox, &activate);
        QVERIFY(there.checkbox->isChecked());
        QCOMPARE(there.providerPopup->currentText(), QStringLiteral("YouTube"));
        AppSettings::remove(AppSettings::studyModeEnabledKey);
    }
};

LYRAFOLD_TEST_GUI_MAIN(StudyModeServiceTest)
#include "tst_studymodeservice.moc"
