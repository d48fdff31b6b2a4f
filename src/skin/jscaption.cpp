#include "jscaption.h"

#include "borderresize.h"

#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

using namespace Qt::Literals::StringLiterals;

namespace Skin {

namespace {

constexpr int titleWidth = 266;
constexpr int titleHeight = 20;
constexpr int iconSize = 16;

void setTextColour(QLabel *label, uint colour)
{
    const QColor textColour = toQColor(colour);
    QPalette palette = label->palette();
    if (palette.isBrushSet(QPalette::Active, QPalette::WindowText) &&
        palette.color(QPalette::WindowText) == textColour)
        return;
    palette.setColor(QPalette::WindowText, textColour);
    label->setPalette(palette);
}

} // namespace

// The main title layer. The pointer on it acts on the bar: pressing, moving and releasing as
// at the bar's point (1, 1), double-clicking as on the bar.
class TitleLayer : public QLabel
{
public:
    explicit TitleLayer(JSCAPTION *bar) : QLabel(bar), m_bar(bar) { setMouseTracking(true); }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        m_bar->pointerPressed(event->globalPosition(), Qt::LeftButton);
    }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        m_bar->pointerMoved(QPoint(1, 1), event->globalPosition(), event->buttons());
    }
    void mouseReleaseEvent(QMouseEvent *) override { m_bar->pointerReleased(); }
    void mouseDoubleClickEvent(QMouseEvent *) override { m_bar->doubleClicked(); }

private:
    JSCAPTION *m_bar;
};

JSCAPTION::JSCAPTION(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFixedHeight(0);
    m_workArea = [](QWidget *host) -> std::optional<WorkArea> {
        QScreen *screen = host->screen();
        if (!screen)
            return std::nullopt;
        return workAreaOf(screen->availableGeometry());
    };

    QFont titleFont;
    titleFont.setFamilies({u"Trebuchet MS"_s});
    titleFont.setBold(true);
    titleFont.setPointSizeF(11.25);
    // The offset layer first, so the main layer lies on top of it.
    m_titleShadow = new QLabel(this);
    m_titleShadow->setObjectName(u"Label2"_s);
    m_titleShadow->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_titleShadow->setFont(titleFont);
    m_title = new TitleLayer(this);
    m_title->setObjectName(u"Label1"_s);
    m_title->setFont(titleFont);
    setTextColour(m_title, m_textColour);
    setTextColour(m_titleShadow, m_backColour);
    placeTitle();

    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(1500);
    connect(&m_settleTimer, &QTimer::timeout, this, [this] { m_settleGeometry = QRect(); });

    setBorderResizeEnabled(false);
    setMovable(m_movable);
    watchHost();
    setONTOP(m_onTop);
}

JSCAPTION::~JSCAPTION() = default;

QString JSCAPTION::workAreaFailureText()
{
    return u"调用 SystemParametersInfo 失败"_s;
}

void JSCAPTION::setPath(const QString &path)
{
    m_skin.setPath(path);
    m_failureShown = false;
    readSkin();
    update();
}

void JSCAPTION::setMovable(bool movable)
{
    m_movable = movable;
    // The "custom" pointer of a movable bar is the arrow: the bar carries buttons too.
    if (movable)
        setCursor(Qt::ArrowCursor);
    else
        unsetCursor();
}

void JSCAPTION::setONTOP(bool onTop)
{
    m_onTop = onTop;
    if (!m_host)
        return;
    if (onTop)
        m_onTopWindow.MakeTopMost(m_host);
    else
        m_onTopWindow.MakeNormal(m_host);
}

void JSCAPTION::setBackColor(uint colour)
{
    m_backColour = colour;
    setTextColour(m_titleShadow, colour);
    update();
}

void JSCAPTION::setForeColor(uint colour)
{
    m_textColour = colour;
    setTextColour(m_title, colour);
}

void JSCAPTION::setStyle2(int style2)
{
    if (style2 == m_style2)
        return;
    m_style2 = style2;
    emit style2Changed(style2);
}

void JSCAPTION::REDRAW()
{
    repaint();
}

CaptionLayout JSCAPTION::buttonLayout() const
{
    CaptionLayout layout;
    layout.barWidth = width();
    layout.fromRight = m_fromRight;
    layout.fromTop = m_fromTop;
    layout.iconSpace = m_iconSpace;
    layout.closeWidth = m_close.Width();
    layout.maxWidth = m_maxRestore.Width();
    layout.minWidth = m_min.Width();
    layout.onTopWidth = m_onTopButton.Width();
    layout.closeHeight = m_close.Height();
    return layout;
}

void JSCAPTION::setWorkAreaProvider(WorkAreaProvider provider)
{
    m_workArea = std::move(provider);
}

QWidget *JSCAPTION::host() const
{
    QWidget *top = window();
    return top == this ? nullptr : top;
}

void JSCAPTION::watchHost()
{
    QWidget *now = host();
    if (now == m_host)
        return;
    if (m_host)
        m_host->removeEventFilter(this);
    m_host = now;
    if (m_host) {
        m_host->installEventFilter(this);
        m_normalGeometry = m_host->geometry();
        // ONTOP set before the bar had a window applies now.
        if (m_onTop)
            m_onTopWindow.MakeTopMost(m_host);
    }
    placeTitle();
}

bool JSCAPTION::event(QEvent *event)
{
    if (event->type() == QEvent::ParentChange || event->type() == QEvent::Show)
        watchHost();
    return QWidget::event(event);
}

bool JSCAPTION::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_host)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::WindowStateChange:
        // The bar maximises to the work area itself; a maximise from the system (a window
        // manager's menu, a key) is taken over once the event has run its course.
        if (m_host->windowState() & Qt::WindowMaximized)
            QMetaObject::invokeMethod(this, &JSCAPTION::takeOverSystemMaximise, Qt::QueuedConnection);
        fullRedraw();
        break;
    case QEvent::WindowTitleChange:
        placeTitle();
        break;
    case QEvent::WindowIconChange:
        update();
        break;
    case QEvent::Move:
    case QEvent::Resize: {
        const bool normalState =
            (m_host->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) == 0;
        if (!m_maximised && normalState)
            m_normalGeometry = m_host->geometry();
        if (m_settleGeometry.isValid() && m_maximised && normalState &&
            m_host->geometry() != m_settleGeometry && m_settleCorrections < 3) {
            ++m_settleCorrections;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (m_host && m_maximised && m_settleGeometry.isValid())
                        m_host->setGeometry(m_settleGeometry);
                },
                Qt::QueuedConnection);
        }
        break;
    }
    default:
        break;
    }
    return false;
}

void JSCAPTION::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fullRedraw();
}

void JSCAPTION::fullRedraw()
{
    m_skin.reloadIfChanged();
    m_failureShown = false;
    readSkin();
    update();
}

void JSCAPTION::readSkin()
{
    const SkinStore &store = m_skin.store();
    setPicture(m_topLeft, u"TOPLEFT");
    setPicture(m_topMid, u"TOPMID");
    setPicture(m_topRight, u"TOPRIGHT");
    setPicture(m_close, u"CLOSE");
    readMaxRestorePicture();
    setPicture(m_min, u"MIN");
    setPicture(m_onTopButton, m_onTop ? u"ONTOP3" : u"ONTOP1");

    m_xOffset = store.number(u"XOFFSET");
    m_xOffset2 = store.number(u"XOFFSET2");
    m_yOffset = store.number(u"YOFFSET");
    m_fromRight = store.number(u"FROMRIGHT");
    m_fromTop = store.number(u"FROMTOP");
    m_iconSpace = store.number(u"ICONSPACE");

    m_textColour = store.colour(u"FORECOLOR");
    m_backColour = store.colour(u"BackColor");
    // A skin without a usable window colour leaves the window's background alone: painting it
    // black (the colour 0 of a missing value) would hide the window's own black text.
    if (const std::optional<quint32> parentBack = store.colourValue(u"PARENTBACKCOLOR");
        parentBack && m_host) {
        QPalette palette = m_host->palette();
        const QColor colour = toQColor(*parentBack, palette);
        if (palette.color(QPalette::Window) != colour) {
            palette.setColor(QPalette::Window, colour);
            m_host->setPalette(palette);
        }
    }

    const int barHeight = m_topLeft.Height();
    if (minimumHeight() != barHeight || maximumHeight() != barHeight) {
        setFixedHeight(barHeight);
        emit barHeightChanged(barHeight);
    }
    placeTitle();
}

void JSCAPTION::readMaxRestorePicture()
{
    if (m_maximised) {
        setPicture(m_maxRestore, u"RES1");
        setStyle2(1);
    } else if (m_host && m_host->isMinimized()) {
        m_maxRestore.LoadResource(QImage());
        setStyle2(0);
    } else {
        setPicture(m_maxRestore, u"MAX");
        setStyle2(2);
    }
}

void JSCAPTION::placeTitle()
{
    m_title->setGeometry(m_xOffset + 17, m_yOffset, titleWidth, titleHeight);
    m_titleShadow->setGeometry(m_xOffset + 16, m_yOffset - 1, titleWidth, titleHeight);
    const QString caption = m_host ? m_host->windowTitle() : QString();
    if (m_title->text() != caption) {
        m_title->setText(caption);
        m_titleShadow->setText(caption);
    }
    setTextColour(m_title, m_textColour);
    setTextColour(m_titleShadow, m_backColour);
}

void JSCAPTION::updateBorderResize()
{
    if (m_maximised)
        setBorderResizeEnabled(false);
    else if (m_style == 1)
        setBorderResizeEnabled(true);
}

void JSCAPTION::setPicture(clsBitmap &bitmap, QStringView key)
{
    bitmap.LoadResource(m_skin.store().picture(key));
}

void JSCAPTION::paintEvent(QPaintEvent *)
{
    // The file is read again only when it changed, and outside the paint, since the bar's
    // height may change with it.
    if (m_skin.changedOnDisk())
        QMetaObject::invokeMethod(this, &JSCAPTION::fullRedraw, Qt::QueuedConnection);

    QPainter painter(this);
    painter.fillRect(rect(), toQColor(m_backColour));
    const int barWidth = width();
    if (m_topMid.Width() > 0) {
        for (int x = 0; x < barWidth; x += m_topMid.Width())
            m_topMid.Paint(painter, x, 0);
    }
    m_topLeft.Paint(painter, 0, 0);
    m_topRight.Paint(painter, barWidth - m_topRight.Width(), 0);

    if (m_showIcon && m_host) {
        const QIcon icon = m_host->windowIcon();
        if (!icon.isNull()) {
            const QRect place(m_xOffset2, m_yOffset + 2, iconSize, iconSize);
            painter.drawPixmap(place, icon.pixmap(place.size(), devicePixelRatioF()));
        }
    }

    const CaptionLayout layout = buttonLayout();
    if (m_controlBox) {
        m_close.Paint(painter, layout.span(CaptionButton::Close).left, m_fromTop);
        if (m_style != 0) {
            m_maxRestore.Paint(painter, layout.span(CaptionButton::MaxRestore).left, m_fromTop);
            m_min.Paint(painter, layout.span(CaptionButton::Minimise).left, m_fromTop);
        }
    }
    if (m_showOnTop)
        m_onTopButton.Paint(painter, layout.span(CaptionButton::OnTop).left, m_fromTop);

    if (m_failureShown) {
        painter.setFont(font());
        painter.setPen(toQColor(m_textColour));
        painter.drawText(QPoint(0, fontMetrics().ascent()), workAreaFailureText());
    }
}

void JSCAPTION::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateBorderResize();
    fullRedraw();
}

void JSCAPTION::mouseMoveEvent(QMouseEvent *event)
{
    pointerMoved(event->position().toPoint(), event->globalPosition(), event->buttons());
}

void JSCAPTION::mousePressEvent(QMouseEvent *event)
{
    m_pressed = true;
    m_afterDoubleClick = false;
    pointerPressed(event->globalPosition(), event->button());
}

void JSCAPTION::mouseReleaseEvent(QMouseEvent *event)
{
    // A click is a left press and release on the bar; the release that ends a double-click
    // is not a second click.
    const bool click = m_pressed && !m_afterDoubleClick && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    m_afterDoubleClick = false;
    pointerReleased();
    if (click)
        clicked();
}

void JSCAPTION::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_pressed = true;
    m_afterDoubleClick = true;
    if (event->button() == Qt::LeftButton)
        doubleClicked();
}

void JSCAPTION::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    // Our choice where the bar is free to choose: a pointer that left the bar leaves no
    // button lit, and a later press can't act on a button it is no longer over.
    if (m_highlight)
        showNormalButtons();
}

void JSCAPTION::pointerMoved(QPoint pos, QPointF globalPos, Qt::MouseButtons buttons)
{
    if (m_drag.pointerMoved(globalPos, buttons))
        return;
    if (!m_controlBox)
        return;
    const CaptionLayout layout = buttonLayout();
    if (!layout.inBand(pos.y())) {
        // Leaving the band up or down drops the highlight, as leaving the bar does.
        if (m_highlight)
            showNormalButtons();
        return;
    }
    const std::optional<CaptionButton> button = layout.buttonAt(pos);
    if (!button) {
        showNormalButtons();
        return;
    }
    switch (*button) {
    case CaptionButton::Close:
        if (m_style == 4)
            return;
        break;
    case CaptionButton::MaxRestore:
        if (m_style == 0 || m_style == 3)
            return;
        break;
    case CaptionButton::Minimise:
        if (m_style == 0)
            return;
        break;
    case CaptionButton::OnTop:
        if (!m_showOnTop)
            return;
        break;
    }
    // A pointer that jumps from one button straight onto another (fast moves skip the gap
    // between them) leaves only the new one lit.
    if (m_highlight && m_hovered != int(*button))
        showNormalButtons();
    switch (*button) {
    case CaptionButton::Close:
        setPicture(m_close, u"CLOSE3");
        break;
    case CaptionButton::MaxRestore:
        setPicture(m_maxRestore, m_maximised ? u"RES2" : u"MAX3");
        break;
    case CaptionButton::Minimise:
        setPicture(m_min, u"MIN3");
        break;
    case CaptionButton::OnTop:
        break;
    }
    m_hovered = int(*button);
    m_highlight = true;
    update();
}

void JSCAPTION::showNormalButtons()
{
    setPicture(m_close, u"CLOSE");
    if (m_style != 0) {
        setPicture(m_maxRestore, m_maximised ? u"RES1" : u"MAX");
        setPicture(m_min, u"MIN");
    }
    m_highlight = false;
    update();
}

void JSCAPTION::pointerPressed(QPointF globalPos, Qt::MouseButton)
{
    if (!m_highlight) {
        // A press on the bar away from the buttons moves the window, never while maximised.
        if (m_movable && !m_maximised && m_host)
            m_drag.armMove(m_host, globalPos);
        return;
    }
    if (!m_controlBox)
        return;
    switch (CaptionButton(m_hovered)) {
    case CaptionButton::Close:
        setPicture(m_close, u"CLOSE2");
        break;
    case CaptionButton::MaxRestore:
        setPicture(m_maxRestore, m_maximised ? u"RES3" : u"MAX2");
        break;
    case CaptionButton::Minimise:
        setPicture(m_min, u"MIN2");
        break;
    case CaptionButton::OnTop:
        return;
    }
    update();
}

void JSCAPTION::pointerReleased()
{
    m_drag.release();
    if (!m_controlBox || !m_highlight)
        return;
    switch (CaptionButton(m_hovered)) {
    case CaptionButton::Close:
        setPicture(m_close, u"CLOSE");
        break;
    case CaptionButton::MaxRestore:
        // The restore picture while maximised: a release away from the bar is no click, and
        // the button must go on saying what it does.
        setPicture(m_maxRestore, m_maximised ? u"RES1" : u"MAX");
        break;
    case CaptionButton::Minimise:
        setPicture(m_min, u"MIN");
        break;
    case CaptionButton::OnTop:
        return;
    }
    update();
}

void JSCAPTION::clicked()
{
    if (!m_controlBox || !m_highlight)
        return;
    switch (CaptionButton(m_hovered)) {
    case CaptionButton::Close:
        if (m_style != 4 && m_host)
            m_host->close();
        break;
    case CaptionButton::OnTop:
        if (m_onTop) {
            m_onTopWindow.MakeNormal(m_host);
            m_onTop = false;
            setPicture(m_onTopButton, u"ONTOP1");
        } else {
            m_onTopWindow.MakeTopMost(m_host);
            m_onTop = true;
            setPicture(m_onTopButton, u"ONTOP3");
        }
        update();
        break;
    case CaptionButton::MaxRestore:
        if (m_style == 3)
            break;
        if (m_maximised)
            restore();
        else
            workAreaMaximise();
        break;
    case CaptionButton::Minimise:
        if (m_host)
            m_host->showMinimized();
        setStyle2(0);
        break;
    }
}

void JSCAPTION::doubleClicked()
{
    if (m_highlight || m_style == 0 || m_style == 3)
        return;
    if (m_maximised)
        restore();
    else
        workAreaMaximise();
}

void JSCAPTION::workAreaMaximise()
{
    if (!m_host)
        return;
    // The work area is asked first: a failed query leaves the window and the bar exactly as
    // they were (with nothing saved to restore, claiming the maximised state would make the
    // next restore shrink the window to nothing).
    const std::optional<WorkArea> area = m_workArea(m_host);
    if (!area) {
        m_failureShown = true;
        update();
        return;
    }
    setBorderResizeEnabled(false);
    m_maximised = true;
    m_restoreGeometry = m_host->geometry();
    readMaxRestorePicture();
    update();
    m_host->setGeometry(maximisedGeometry(*area, m_restoreGeometry));
}

void JSCAPTION::restore()
{
    if (!m_host || !m_maximised)
        return;
    m_maximised = false;
    m_settleGeometry = QRect();
    readMaxRestorePicture();
    update();
    m_host->setGeometry(m_restoreGeometry);
    // Also when the bar kept its width and so gets no resize of its own.
    updateBorderResize();
}

void JSCAPTION::takeOverSystemMaximise()
{
    if (!m_host || !(m_host->windowState() & Qt::WindowMaximized))
        return;
    const std::optional<WorkArea> area = m_workArea(m_host);
    if (!area)
        return;
    QRect normal = m_host->normalGeometry();
    if (!normal.isValid())
        normal = m_normalGeometry;
    setBorderResizeEnabled(false);
    // Maximised by the bar already, the window keeps the geometry it had before that.
    if (!m_maximised)
        m_restoreGeometry = normal;
    m_maximised = true;
    m_host->setWindowState(m_host->windowState() & ~Qt::WindowMaximized);
    readMaxRestorePicture();
    update();
    m_settleGeometry = maximisedGeometry(*area, normal);
    m_settleCorrections = 0;
    m_settleTimer.start();
    m_host->setGeometry(m_settleGeometry);
}

} // namespace Skin
