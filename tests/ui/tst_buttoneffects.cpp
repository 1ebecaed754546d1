#include "TestHarnessGui.h"
#include "ui/common/LyrafoldButtonEffects.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QWindow>

using LyrafoldButtonEffects::Look;
using LyrafoldButtonEffects::lookOf;

// Stands in for the main window's tool tile: found by its class name only.
class WindowsStyleToolTileView : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;
};

using OptionalLook = std::optional<Look>;

class ButtonEffectsTest : public QObject {
    Q_OBJECT

    QWidget *m_window = nullptr;
    QPushButton *m_plain = nullptr;
    QPushButton *m_other = nullptr;
    QPushButton *m_selfStyled = nullptr;
    QPushButton *m_rounded = nullptr;
    QPushButton *m_cellButton = nullptr;
    QWidget *m_tile = nullptr;
    QPushButton *m_hiddenTileButton = nullptr;
    QPushButton *m_hitButton = nullptr;
    QLabel *m_caption = nullptr;
    QWidget *m_card = nullptr;
    QToolButton *m_icon = nullptr;

    static QPoint centreOf(const QWidget *w) { return w->mapTo(w->window(), w->rect().center()); }
    QWindow *handle() const { return m_window->windowHandle(); }
    void moveTo(const QWidget *w) { QTest::mouseMove(handle(), centreOf(w)); }
    void moveTo(const QPoint &p) { QTest::mouseMove(handle(), p); }
    void press(const QWidget *w) { QTest::mousePress(handle(), Qt::LeftButton, {}, centreOf(w)); }
    void release(const QWidget *w) { QTest::mouseRelease(handle(), Qt::LeftButton, {}, centreOf(w)); }

    template <typename T> T *place(T *widget, QWidget *parent, const QRect &geometry)
    {
        widget->setParent(parent);
        widget->setGeometry(geometry);
        return widget;
    }

private Q_SLOTS:
    void init()
    {
        m_window = new QWidget;
        m_window->resize(480, 320);
        m_plain = place(new QPushButton(QStringLiteral("Open")), m_window, {10, 10, 100, 30});
        m_other = place(new QPushButton(QStringLiteral("Other")), m_window, {120, 10, 100, 30});
        m_selfStyled =
            place(new QPushButton(QStringLiteral("Delete selected")), m_window, {230, 10, 100, 30});
        m_selfStyled->setObjectName(LyrafoldButtonEffects::selfStyledButtonName);
        m_rounded = place(new QPushButton(QStringLiteral("Round")), m_window, {340, 10, 100, 30});
        m_rounded->setProperty(LyrafoldButtonEffects::cornerRadiusProperty, 10);

        auto *table = place(new QTableWidget(2, 2), m_window, {10, 60, 200, 100});
        m_cellButton = new QPushButton(QStringLiteral("+"));
        table->setCellWidget(0, 0, m_cellButton);

        m_tile = place(new WindowsStyleToolTileView, m_window, {230, 60, 100, 100});
        m_hiddenTileButton = place(new QPushButton(QStringLiteral("hidden")), m_tile, {0, 0, 10, 10});
        m_hiddenTileButton->hide();
        m_caption = place(new QLabel(QStringLiteral("Merge")), m_tile, {0, 70, 100, 30});
        m_hitButton = place(new QPushButton, m_tile, {0, 0, 100, 100});
        m_hitButton->setFlat(true);
        m_hitButton->setAttribute(Qt::WA_TransparentForMouseEvents);

        m_card = place(new QWidget, m_window, {10, 200, 120, 60});
        m_icon = place(new QToolButton, m_card, {40, 10, 40, 40});
        m_icon->setAutoRaise(true);

        // Before the window has a native window: the manager attaches once it is shown.
        LyrafoldButtonEffects::install(m_window);
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window, TestHarness::hangGuardMs));
    }

    void cleanup() { delete m_window; }

    void baseConfiguration()
    {
        QCOMPARE(lookOf(m_plain), OptionalLook(Look::base));
        QCOMPARE(lookOf(m_hitButton), OptionalLook(Look::base));
        QCOMPARE(lookOf(m_tile), OptionalLook(Look::base));
        QCOMPARE(lookOf(m_card), OptionalLook(Look::base));
        QCOMPARE(lookOf(m_selfStyled), OptionalLook());
        QCOMPARE(lookOf(m_cellButton), OptionalLook());
        QCOMPARE(lookOf(m_window), OptionalLook());
        QCOMPARE(m_plain->property(LyrafoldButtonEffects::cornerRadiusProperty).toReal(), 6.0);
        QCOMPARE(m_rounded->property(LyrafoldButtonEffects::cornerRadiusProperty).toReal(), 10.0);
    }

    void installAgain()
    {
        const qsizetype children = m_window->children().size();
        m_other->setObjectName(LyrafoldButtonEffects::selfStyledButtonName);
        auto *added = new QPushButton(QStringLiteral("Added"), m_window);
        LyrafoldButtonEffects::install(m_window);
        QCOMPARE(m_window->children().size(), children + 1);
        QCOMPARE(lookOf(m_other), OptionalLook());
        QCOMPARE(lookOf(added), OptionalLook(Look::base));
        LyrafoldButtonEffects::install(nullptr);
    }

    void hoverFollowsTheMouse()
    {
        moveTo(m_plain);
        QCOMPARE(lookOf(m_plain), OptionalLook(Look::hover));
        moveTo(m_other);
        QCOMPARE(lookOf(m_plain), OptionalLook(Look::base));
        QCOMPARE(lookOf(m_other), OptionalLook(Look::hover));
        moveTo(m_selfStyled);
        QCOMPARE(lookOf(m_other), OptionalLook(Look::base));
        QCOMPARE(lookOf(m_selfStyled), OptionalLook());
        moveTo(m_icon);
        QCOMPARE(lookOf(m_icon), OptionalLook(Look::hover));
        QCOMPARE(lookOf(m_card), OptionalLook(Look::hover));
        moveTo(m_cellButton);
        QCOMPARE(lookOf(m_icon), OptionalLook(Look::base));
        QCOMPARE(lookOf(m_card), OptionalLook(Look::base));
        QCOMPARE(lookOf(m_cellButton), OptionalLook());
    }

    void noHoverInAnInactiveWindow()
    {
        moveTo(m_plain);
        QCOMPARE(lookOf(m_plain), OptionalLook(Look::hover));
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other, TestHarness::hangGuardMs));
        moveTo(m_other);
        QCOMPARE(lookOf(m_plain), OptionalLook(Look::base));
        QCOMPARE(lookOf(m_other), OptionalLook(Look::base));
    }

    void pressAndRelease_data()
    {
        QTest::addColumn<bool>("releaseElsewhere");
        QTest::addColumn<OptionalLook>("pressedAfter");
        QTest::newRow("released on the button") << false << OptionalLook(Look::hover);
        QTest::newRow("released elsewhere") << true << OptionalLook(Look::base);
    }

    void pressAndRelease()
    {
        QFETCH(bool, releaseElsewhere);
        QFETCH(OptionalLook, pressedAfter);
        moveTo(m_plain);
        press(m_plain);
        QCOMPARE(lookOf(m_plain), OptionalLook(Look::press));
        if (releaseElsewhere) {
            moveTo(m_other);
            QCOMPARE(lookOf(m_plain), OptionalLook(Look::press));
            QCOMPARE(lookOf(m_other), OptionalLook(Look::hover));
            release(m_other);
        } else {
            release(m_plain);
        }
        QCOMPARE(lookOf(m_plain), pressedAfter);
    }

    // A click on a tile's caption presses the tile's first visible button, and the tile with it.
    void tileSurfaceActsAsItsButton()
    {
        moveTo(m_caption);
        press(m_caption);
        QCOMPARE(lookOf(m_hitButton), OptionalLook(Look::press));
        QCOMPARE(lookOf(m_tile), OptionalLook(Look::press));
        QCOMPARE(lookOf(m_hiddenTileButton), OptionalLook(Look::base));
        release(m_caption);
        QCOMPARE(lookOf(m_tile), OptionalLook(Look::hover));
        moveTo(m_plain);
        QCOMPARE(lookOf(m_tile), OptionalLook(Look::base));
    }

    // A disabled button, or a tile whose button is disabled, neither lifts nor sinks.
    void disabledStaysAtRest_data()
    {
        QTest::addColumn<bool>("tile");
        QTest::newRow("button") << false;
        QTest::newRow("tile") << true;
    }

    void disabledStaysAtRest()
    {
        QFETCH(bool, tile);
        QPushButton *button = tile ? m_hitButton : m_plain;
        QWidget *target = tile ? static_cast<QWidget *>(m_caption) : m_plain;
        button->setEnabled(false);
        moveTo(target);
        QCOMPARE(lookOf(button), OptionalLook(Look::base));
        press(target);
        QCOMPARE(lookOf(button), OptionalLook(Look::base));
        release(target);
    }
};

LYRAFOLD_TEST_GUI_MAIN(ButtonEffectsTest)
#include "tst_buttoneffects.moc"
