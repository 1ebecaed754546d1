#include "ui/common/LyrafoldButtonEffects.h"

#include <QAbstractButton>
#include <QGraphicsEffect>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QWindow>

using LyrafoldButtonEffects::Look;

namespace {

struct LookValues {
    qreal translateY; // logical units, downward
    qreal scale;
    qreal shadowOpacity;
    qreal shadowRadius;
    qreal shadowOffsetY; // downward
    qreal alpha;
    QColor background;
};

LookValues valuesFor(Look look)
{
    switch (look) {
    case Look::hover:
        return {-0.5, 1.0, 0.5, 3, 2, 0.93, QColor::fromRgbF(1, 1, 1, 0.08f)};
    case Look::press:
        return {2, 0.985, 0.22, 0.6, 0, 0.8, QColor::fromRgbF(0, 0, 0, 0.14f)};
    case Look::base:
        break;
    }
    return {0, 1.0, 0.4, 2, 1, 1.0, Qt::transparent};
}

// Draws its widget moved, scaled and faded by the look, over a tinted rounded background and a
// blurred shadow of the widget's own shape.
class ButtonLookEffect : public QGraphicsEffect {
public:
    explicit ButtonLookEffect(QObject *parent) : QGraphicsEffect(parent) {}

    Look look() const { return m_look; }

    void setLook(Look look, qreal cornerRadius)
    {
        if (look == m_look && cornerRadius == m_cornerRadius)
            return;
        m_look = look;
        m_cornerRadius = cornerRadius;
        updateBoundingRect();
        update();
    }

    QRectF boundingRectFor(const QRectF &rect) const override { return rect.adjusted(-8, -8, 8, 8); }

protected:
    void draw(QPainter *painter) override
    {
        const LookValues v = valuesFor(m_look);
        QPoint offset;
        const QPixmap source = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
        if (source.isNull())
            return;
        const QRectF bounds = sourceBoundingRect(Qt::LogicalCoordinates);
        painter->save();
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(bounds.center() + QPointF(0, v.translateY));
        painter->scale(v.scale, v.scale);
        painter->translate(-bounds.center());
        painter->setOpacity(painter->opacity() * v.alpha);

        const qreal opacity = painter->opacity();
        painter->setOpacity(opacity * v.shadowOpacity);
        painter->drawImage(QPointF(offset) + QPointF(0, v.shadowOffsetY), shadowOf(source, v.shadowRadius));
        painter->setOpacity(opacity);
        if (v.background.alpha() > 0) {
            QPainterPath path;
            path.addRoundedRect(bounds, m_cornerRadius, m_cornerRadius);
            painter->fillPath(path, v.background);
        }
        painter->drawPixmap(offset, source);
        painter->restore();
    }

private:
    // The source's shape in black, softened by scaling it down and up again: blur enough for a shadow
    // of a few units, and cheap. Kept while neither the source nor the radius changes.
    const QImage &shadowOf(const QPixmap &source, qreal radius)
    {
        if (source.cacheKey() == m_shadowKey && radius == m_shadowRadius)
            return m_shadow;
        QImage shape = source.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        {
            QPainter p(&shape);
            p.setCompositionMode(QPainter::CompositionMode_SourceIn);
            p.fillRect(shape.rect(), Qt::black);
        }
        const qreal factor = 1.0 + radius * source.devicePixelRatio();
        if (factor > 1.5) {
            const QSize small((shape.size() / factor).expandedTo(QSize(1, 1)));
            shape = shape.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                        .scaled(source.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        shape.setDevicePixelRatio(source.devicePixelRatio());
        m_shadow = shape;
        m_shadowKey = source.cacheKey();
        m_shadowRadius = radius;
        return m_shadow;
    }

    Look m_look = Look::base;
    qreal m_cornerRadius = 6;
    QImage m_shadow;
    qint64 m_shadowKey = 0;
    qreal m_shadowRadius = -1;
};

bool isInsideTable(const QWidget *widget)
{
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (qobject_cast<const QTableView *>(w))
            return true;
    }
    return false;
}

bool shouldIgnoreButtonForGlobalEffects(const QAbstractButton *button)
{
    return button->objectName() == LyrafoldButtonEffects::selfStyledButtonName || isInsideTable(button);
}

qreal alphaOf(const QWidget *widget)
{
    const auto *fade = qobject_cast<const QGraphicsOpacityEffect *>(widget->graphicsEffect());
    return fade && fade->isEnabled() ? fade->opacity() : 1.0;
}

bool isShown(const QWidget *widget)
{
    return !widget->isHidden() && alphaOf(widget) > 0.01;
}

bool isBordered(const QAbstractButton *button)
{
    if (const auto *push = qobject_cast<const QPushButton *>(button))
        return !push->isFlat();
    if (const auto *tool = qobject_cast<const QToolButton *>(button))
        return !tool->autoRaise();
    return false;
}

QList<QWidget *> visualHosts(QAbstractButton *button)
{
    QWidget *holder = button->parentWidget();
    if (!button->text().isEmpty() || isBordered(button) || !holder || holder->isWindow())
        return {button};
    return {button, holder};
}

bool shouldSearchDescendants(const QWidget *view)
{
    static const QByteArrayList tileClasses = {"WindowsStyleToolTileView", "WindowsStyleToggleToolTileView",
                                               "WindowsStyleSlotTileView"};
    for (const QMetaObject *meta = view->metaObject(); meta; meta = meta->superClass()) {
        const QByteArray name(meta->className());
        for (const QByteArray &tile : tileClasses) {
            if (name.contains(tile))
                return true;
        }
    }
    return false;
}

QAbstractButton *firstButtonDescendant(const QWidget *view)
{
    for (QWidget *child : view->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (auto *button = qobject_cast<QAbstractButton *>(child); button && isShown(button))
            return button;
        if (child->isHidden() || child->isWindow())
            continue;
        if (QAbstractButton *inner = firstButtonDescendant(child))
            return inner;
    }
    return nullptr;
}

qreal cornerRadiusOf(const QWidget *widget)
{
    bool ok = false;
    const qreal radius = widget->property(LyrafoldButtonEffects::cornerRadiusProperty).toReal(&ok);
    return ok ? radius : 6;
}

void applyLook(QWidget *host, Look look, qreal cornerRadius)
{
    auto *effect = dynamic_cast<ButtonLookEffect *>(host->graphicsEffect());
    if (!effect) {
        if (host->graphicsEffect())
            return;
        effect = new ButtonLookEffect(host);
        host->setGraphicsEffect(effect);
    }
    effect->setLook(look, cornerRadius);
}

void applyLookToHosts(QAbstractButton *button, Look look)
{
    const qreal radius = cornerRadiusOf(button);
    for (QWidget *host : visualHosts(button))
        applyLook(host, look, radius);
}

void removeLook(QWidget *widget)
{
    if (dynamic_cast<ButtonLookEffect *>(widget->graphicsEffect()))
        widget->setGraphicsEffect(nullptr);
}

void applyBaseConfigRecursively(QWidget *view)
{
    if (auto *button = qobject_cast<QAbstractButton *>(view)) {
        if (shouldIgnoreButtonForGlobalEffects(button)) {
            removeLook(button);
            return;
        }
        button->setProperty(LyrafoldButtonEffects::cornerRadiusProperty,
                            std::max(cornerRadiusOf(button), 6.0));
        applyLookToHosts(button, Look::base);
    }
    for (QWidget *child : view->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow())
            applyBaseConfigRecursively(child);
    }
}

// One per window, a child of it: it goes when the window goes.
class ButtonEffectsManager : public QObject {
    Q_OBJECT

public:
    explicit ButtonEffectsManager(QWidget *window) : QObject(window), m_window(window)
    {
        window->installEventFilter(this);
        attachToWindowHandle();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window) {
            if (event->type() == QEvent::Show || event->type() == QEvent::WinIdChange)
                attachToWindowHandle();
            return false;
        }
        switch (event->type()) {
        case QEvent::MouseMove:
            handleMove(static_cast<QMouseEvent *>(event));
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
                handleMouseDown(static_cast<QMouseEvent *>(event));
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
                handleMouseUp();
            break;
        case QEvent::Leave:
            // The pointer went to another window or off the application.
            clearState();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void attachToWindowHandle()
    {
        QWindow *handle = m_window ? m_window->windowHandle() : nullptr;
        if (handle == m_handle)
            return;
        if (m_handle)
            m_handle->removeEventFilter(this);
        m_handle = handle;
        if (m_handle)
            m_handle->installEventFilter(this);
    }

    void setLook(QAbstractButton *button, Look look)
    {
        if (button && !shouldIgnoreButtonForGlobalEffects(button))
            applyLookToHosts(button, look);
    }

    QAbstractButton *buttonAt(const QPoint &pos) const
    {
        if (!m_window)
            return nullptr;
        QWidget *hit = m_window->childAt(pos);
        if (!hit || isInsideTable(hit))
            return nullptr;
        // A disabled button shows no hover or press: it would promise a click that does nothing.
        const auto responds = [](const QAbstractButton *button) {
            return button && button->isEnabled() && !shouldIgnoreButtonForGlobalEffects(button);
        };
        for (QWidget *w = hit; w && w != m_window; w = w->parentWidget()) {
            auto *button = qobject_cast<QAbstractButton *>(w);
            if (button && isShown(button) && !shouldIgnoreButtonForGlobalEffects(button))
                return responds(button) ? button : nullptr;
        }
        // A tile takes every click on its surface, so a hit on its picture or caption is a hit on
        // the tile, whose first visible button stands for it.
        for (QWidget *w = hit; w && w != m_window; w = w->parentWidget()) {
            if (shouldSearchDescendants(w)) {
                QAbstractButton *button = firstButtonDescendant(w);
                return responds(button) ? button : nullptr;
            }
        }
        return nullptr;
    }

    void handleMove(QMouseEvent *event)
    {
        if (!m_window || !m_window->isActiveWindow() ||
            QGuiApplication::applicationState() != Qt::ApplicationActive) {
            clearState();
            return;
        }
        QAbstractButton *button = buttonAt(event->position().toPoint());
        if (button != m_hovered) {
            if (m_hovered && m_hovered != m_pressed)
                setLook(m_hovered, Look::base);
            m_hovered = button;
            if (button && button != m_pressed)
                setLook(button, Look::hover);
        }
        if (m_pressed && m_pressed->window() != m_window) {
            setLook(m_pressed, Look::base);
            m_pressed = nullptr;
        }
    }

    void handleMouseDown(QMouseEvent *event)
    {
        if (!m_window)
            return;
        if (m_pressed)
            setLook(m_pressed, m_pressed == m_hovered ? Look::hover : Look::base);
        m_pressed = buttonAt(event->position().toPoint());
        setLook(m_pressed, Look::press);
    }

    void handleMouseUp()
    {
        if (!m_pressed)
            return;
        setLook(m_pressed, m_pressed == m_hovered ? Look::hover : Look::base);
        m_pressed = nullptr;
    }

    void clearState()
    {
        if (m_hovered && m_hovered != m_pressed)
            setLook(m_hovered, Look::base);
        if (m_pressed)
            setLook(m_pressed, Look::base);
        m_hovered = nullptr;
        m_pressed = nullptr;
    }

    QPointer<QWidget> m_window;
    QPointer<QWindow> m_handle;
    QPointer<QAbstractButton> m_hovered;
    QPointer<QAbstractButton> m_pressed;
};

} // namespace

namespace LyrafoldButtonEffects {

void install(QWidget *window)
{
    if (!window)
        return;
    window = window->window();
    if (!window->findChild<ButtonEffectsManager *>(QString(), Qt::FindDirectChildrenOnly))
        new ButtonEffectsManager(window);
    applyBaseConfigRecursively(window);
}

std::optional<Look> lookOf(const QWidget *host)
{
    if (const auto *effect = dynamic_cast<const ButtonLookEffect *>(host ? host->graphicsEffect() : nullptr))
        return effect->look();
    return std::nullopt;
}

} // namespace LyrafoldButtonEffects

#include "LyrafoldButtonEffects.moc"
