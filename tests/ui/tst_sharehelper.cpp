#include "TestHarnessGui.h"
#include "core/common/AppSettings.h"
#include "ui/common/LyrafoldShareHelper.h"
#include "ui/common/StatusLine.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QToolTip>

class ShareHelperTest : public QObject {
    Q_OBJECT

    static QStringList texts(const QWidget *view)
    {
        QStringList out;
        for (const QWidget *child : view->findChildren<QWidget *>()) {
            if (const auto *button = qobject_cast<const QPushButton *>(child))
                out << button->text();
            else if (const auto *label = qobject_cast<const QLabel *>(child))
                out << label->text();
        }
        return out;
    }

    static QStringList titles(const QMenu *menu)
    {
        QStringList out;
        for (const QAction *action : menu->actions())
            out << action->text();
        return out;
    }

    QList<QUrl> exportFiles()
    {
        const QString path = TestHarness::home() + QStringLiteral("/Exports/My List.pdf");
        TestHarness::writeFile(path, "%PDF-1.4\n");
        return {QUrl::fromLocalFile(path)};
    }

private Q_SLOTS:
    void cleanup()
    {
        AppSettings::remove(AppSettings::uiLanguageKey);
        if (QMenu *menu = LyrafoldShareHelper::activeSharePicker())
            menu->hide();
    }

    void contentHeight_data()
    {
        QTest::addColumn<bool>("includeSave");
        QTest::addColumn<bool>("saveActionGiven");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("buttons");
        QTest::newRow("share only") << false << true << 104 << 1;
        // 24 + 2 × 40 + 2 × 32 + 3 × 8: the four views with their spacing and margins, no less.
        QTest::newRow("share and save") << true << true << 192 << 2;
        QTest::newRow("save wanted but no action") << true << false << 104 << 1;
    }

    void contentHeight()
    {
        QFETCH(bool, includeSave);
        QFETCH(bool, saveActionGiven);
        QFETCH(int, height);
        QFETCH(int, buttons);
        QObject target;
        QList<QPushButton *> senders;
        const auto record = [&](QPushButton *sender) { senders << sender; };
        const LyrafoldShareContent content = LyrafoldShareHelper::makeShareOrSaveContent(
            &target, record, &target,
            saveActionGiven ? LyrafoldShareHelper::ButtonAction(record) : LyrafoldShareHelper::ButtonAction(),
            includeSave);
        std::unique_ptr<QWidget> view(content.view);
        QCOMPARE(view->size(), QSize(300, height));
        const auto found = view->findChildren<QPushButton *>();
        QCOMPARE(found.size(), buttons);
        QCOMPARE(view->findChildren<QLabel *>().size(), buttons);
        for (QPushButton *button : found)
            button->click();
        QCOMPARE(senders, found);
    }

    // The hints follow the language; the buttons' titles and the menu's entries stay English, and the
    // hint names the entry as the menu shows it.
    void textsFollowTheLanguage_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("shareHint");
        QTest::addColumn<QString>("copyTitle");
        QTest::newRow("en") << "en"
                            << "For WhatsApp: pick Copy in the share menu, then paste with Ctrl+V in chat "
                               "(best under ~16 MB)."
                            << "Copy";
        QTest::newRow("tr")
            << "tr"
            << "WhatsApp için: paylaşım menüsünden Copy seçin, sohbette Ctrl+V ile yapıştırın (~16 MB altı)."
            << "Copy";
        QTest::newRow("es") << "es"
                            << "Para WhatsApp: elija Copy en el menú compartir y pegue con Ctrl+V en el chat "
                               "(mejor bajo ~16 MB)."
                            << "Copy";
    }

    void textsFollowTheLanguage()
    {
        QFETCH(QString, language);
        QFETCH(QString, shareHint);
        QFETCH(QString, copyTitle);
        AppSettings::setValue(AppSettings::uiLanguageKey, language);
        QObject target;
        const auto noop = [](QPushButton *) {};
        std::unique_ptr<QWidget> view(
            LyrafoldShareHelper::makeShareOrSaveContent(&target, noop, &target, noop, true).view);
        const QStringList shown = texts(view.get());
        QCOMPARE(shown.size(), 4);
        QCOMPARE(shown[0], QStringLiteral("Share"));
        QCOMPARE(shown[1], shareHint);
        QCOMPARE(shown[2], QStringLiteral("Save to local disc"));
        // The hints name the menu entries as the menu shows them.
        std::unique_ptr<QMenu> menu(LyrafoldShareHelper::makeShareMenu(exportFiles(), nullptr));
        QCOMPARE(titles(menu.get()).value(1), copyTitle);
        QVERIFY(shown[1].contains(copyTitle));
    }

    // "Copy" puts the files on the clipboard and says so beside the menu and in the window's line.
    void copyIsTold()
    {
        QWidget window;
        auto *line = new StatusLine(QStringLiteral("statusField"), &window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window, TestHarness::hangGuardMs));
        line->setStatus(QStringLiteral("before"));
        std::unique_ptr<QMenu> menu(LyrafoldShareHelper::makeShareMenu(exportFiles(), &window));
        menu->actions().at(1)->trigger();
        QCOMPARE(QGuiApplication::clipboard()->mimeData()->urls(), exportFiles());
        QCOMPARE(line->text(), QStringLiteral("Copied"));
        QCOMPARE(QToolTip::text(), QStringLiteral("Copied"));
    }

    void pickerReplacesTheHostPopup()
    {
        QWidget window;
        auto *anchor = new QPushButton(QStringLiteral("Share"), &window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window, TestHarness::hangGuardMs));

        int dismissed = 0;
        LyrafoldShareHelper::showSystemSharePicker({}, anchor, Qt::BottomEdge, [&] { ++dismissed; });
        QCOMPARE(dismissed, 0);
        QVERIFY(!LyrafoldShareHelper::activeSharePicker());

        LyrafoldShareHelper::showSystemSharePicker(exportFiles(), anchor, Qt::BottomEdge,
                                                   [&] { ++dismissed; });
        QPointer<QMenu> first = LyrafoldShareHelper::activeSharePicker();
        QVERIFY(first);
        QVERIFY(first->isVisible());
        QCOMPARE(dismissed, 1);

        LyrafoldShareHelper::showSystemSharePicker(exportFiles(), anchor, Qt::TopEdge, [&] { ++dismissed; });
        QPointer<QMenu> second = LyrafoldShareHelper::activeSharePicker();
        QVERIFY(second && second != first);
        QVERIFY(!first->isVisible());
        QCOMPARE(dismissed, 2);

        second->hide(); // the user cancels
        QVERIFY(!LyrafoldShareHelper::activeSharePicker());
        WAIT_VERIFY(!first && !second);
    }

    void anchorNotYetShown()
    {
        QWidget window;
        auto *anchor = new QPushButton(QStringLiteral("Share"), &window);
        int dismissed = 0;
        LyrafoldShareHelper::showSystemSharePicker(exportFiles(), anchor, Qt::BottomEdge,
                                                   [&] { ++dismissed; });
        QCOMPARE(dismissed, 0);
        window.show();
        WAIT_COMPARE(dismissed, 1);
        QVERIFY(LyrafoldShareHelper::activeSharePicker());

        LyrafoldShareHelper::activeSharePicker()->hide();
        window.hide();
        LyrafoldShareHelper::showSystemSharePicker(exportFiles(), anchor, Qt::BottomEdge,
                                                   [&] { ++dismissed; });
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(dismissed, 1);
        QVERIFY(!LyrafoldShareHelper::activeSharePicker());
    }
};

LYRAFOLD_TEST_GUI_MAIN(ShareHelperTest)
#include "tst_sharehelper.moc"
