#pragma once

#include "chromegeometry.h"
#include "clsbitmap.h"
#include "clsontop.h"
#include "skinstore.h"
#include "windowdrag.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;

namespace Skin {

class TitleLayer;

// The caption bar: docked to the top of a frameless window (its host, the widget's window),
// it draws the bar from the skin, shows the host's icon and title and serves the close,
// maximise/restore, minimise and stay-on-top buttons. Dragging it moves the host. Maximising
// does not use the system's maximised state: the bar gives the host the work area and puts
// back the earlier geometry on restore.
class JSCAPTION : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString Path READ Path WRITE setPath)
    Q_PROPERTY(bool Movable READ Movable WRITE setMovable)
    Q_PROPERTY(int Style READ Style WRITE setStyle)
    Q_PROPERTY(bool ShowIcon READ ShowIcon WRITE setShowIcon)
    Q_PROPERTY(bool ControlBox READ ControlBox WRITE setControlBox)
    Q_PROPERTY(bool ONTOP READ ONTOP WRITE setONTOP)
    Q_PROPERTY(bool SHOWONTOP READ SHOWONTOP WRITE setSHOWONTOP)
    Q_PROPERTY(uint BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(uint ForeColor READ ForeColor WRITE setForeColor)
    Q_PROPERTY(int Style2 READ Style2 WRITE setStyle2 NOTIFY style2Changed)

public:
    // The work area of the host's screen; nothing when it can't be had.
    using WorkAreaProvider = std::function<std::optional<WorkArea>(QWidget *host)>;

    explicit JSCAPTION(QWidget *parent = nullptr);
    ~JSCAPTION() override;

    // The text written onto the bar when the work area can't be read for a maximise.
    static QString workAreaFailureText();

    QString Path() const { return m_skin.path(); }
    // Reads the skin file and redraws the bar.
    void setPath(const QString &path);
    bool Movable() const { return m_movable; }
    void setMovable(bool movable);
    // 0: close only; 1: all buttons, double-click and edge resizing; 2: all buttons and
    // double-click; 3: maximise drawn but idle; 4: close drawn but idle.
    int Style() const { return m_style; }
    void setStyle(int style) { m_style = style; }
    using QWidget::setStyle;
    bool ShowIcon() const { return m_showIcon; }
    void setShowIcon(bool show) { m_showIcon = show; }
    bool ControlBox() const { return m_controlBox; }
    void setControlBox(bool controlBox) { m_controlBox = controlBox; }
    bool ONTOP() const { return m_onTop; }
    // Puts the host above other windows or back; the button picture follows at the next redraw.
    void setONTOP(bool onTop);
    bool SHOWONTOP() const { return m_showOnTop; }
    void setSHOWONTOP(bool show) { m_showOnTop = show; }
    // Colour numbers of the title's offset layer and main layer; the next redraw takes both
    // from the skin.
    uint BackColor() const { return m_backColour; }
    void setBackColor(uint colour);
    uint ForeColor() const { return m_textColour; }
    void setForeColor(uint colour);
    // 2: the host is normal (maximise button shown); 1: the bar has maximised it (restore
    // button shown); 0: the host was minimised.
    int Style2() const { return m_style2; }
    void setStyle2(int style2);

    // Repaints the bar at once.
    void REDRAW();

    // What the maximise/restore button does.
    void workAreaMaximise();
    void restore();

    bool isMaximised() const { return m_maximised; }
    QRect restoreGeometry() const { return m_restoreGeometry; }
    // The button last highlighted (CaptionButton values) and whether the highlight is on.
    int hoveredButton() const { return m_hovered; }
    bool isHighlighted() const { return m_highlight; }
    // Where the buttons are with the pictures held now.
    CaptionLayout buttonLayout() const;
    bool showsFailureText() const { return m_failureShown; }

    // Tests hand in their own work area; the default asks the host's screen.
    void setWorkAreaProvider(WorkAreaProvider provider);

signals:
    void style2Changed(int style2);
    // The bar's height changed with the skin (the height of its "TOPLEFT" picture).
    void barHeightChanged(int height);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    friend class TitleLayer;

    QWidget *host() const;
    void watchHost();
    // Reads the skin again when the file changed, then takes pictures, offsets and colours
    // from it and repaints.
    void fullRedraw();
    void readSkin();
    void readMaxRestorePicture();
    void setStyle2Value(int style2);
    void placeTitle();
    void updateBorderResize();
    void setPicture(clsBitmap &bitmap, QStringView key);
    void showNormalButtons();
    void takeOverSystemMaximise();

    void pointerMoved(QPoint pos, QPointF globalPos, Qt::MouseButtons buttons);
    void pointerPressed(QPointF globalPos, Qt::MouseButton button);
    void pointerReleased();
    void clicked();
    void doubleClicked();

    SkinFile m_skin;
    clsOnTop m_onTopWindow;
    WorkAreaProvider m_workArea;
    WindowDrag m_drag;
    QPointer<QWidget> m_host;

    clsBitmap m_topLeft;
    clsBitmap m_topMid;
    clsBitmap m_topRight;
    clsBitmap m_close;
    clsBitmap m_maxRestore;
    clsBitmap m_min;
    clsBitmap m_onTopButton;

    bool m_maximised = false;
    QRect m_restoreGeometry;
    // The host's geometry while it was last in its normal state, for taking over a maximise
    // that the system did.
    QRect m_normalGeometry;
    // After taking over a system maximise: the work-area geometry, put back for a moment when
    // the window manager's own un-maximise, which comes later, moves the window elsewhere.
    QRect m_settleGeometry;
    int m_settleCorrections = 0;
    QTimer m_settleTimer;

    bool m_movable = true;
    bool m_onTop = false;
    bool m_showOnTop = false;
    bool m_showIcon = true;
    bool m_controlBox = true;
    int m_style = 1;
    int m_style2 = 0;
    int m_hovered = 0;
    bool m_highlight = false;
    bool m_failureShown = false;
    bool m_afterDoubleClick = false;
    bool m_pressed = false;

    qint16 m_xOffset = 0;
    qint16 m_xOffset2 = 0;
    qint16 m_yOffset = 0;
    qint16 m_fromRight = 0;
    qint16 m_fromTop = 0;
    qint16 m_iconSpace = 0;
    uint m_textColour = 0xFFFFFF;
    uint m_backColour = 0x80000012;

    TitleLayer *m_title = nullptr;
    QLabel *m_titleShadow = nullptr;
};

} // namespace Skin
