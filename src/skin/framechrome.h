#pragma once

#include <QMargins>
#include <QObject>

class QWidget;

namespace Skin {

class JSBORDER;
class JSCAPTION;

// The skinned frame of a window. Makes `host` frameless and docks a caption bar across its
// top, borders down its left and right sides and across its bottom, and applies the chrome
// rules on every resize of the host and every change of the bar's Style2. The host keeps its
// own layout: the frame takes its room through the host's contents margins, so the host's
// widgets are laid out inside it.
class FrameChrome : public QObject
{
    Q_OBJECT

public:
    explicit FrameChrome(QWidget *host);

    QWidget *host() const { return m_host; }
    JSCAPTION *caption() const { return m_caption; }
    JSBORDER *leftBorder() const { return m_left; }
    JSBORDER *rightBorder() const { return m_right; }
    JSBORDER *bottomBorder() const { return m_bottom; }

    // Hands the skin file to the caption bar and the three borders.
    void setPath(const QString &path);

    // Style2 1 (maximised by the bar): the borders are hidden. Style2 2 (normal): the window
    // gets the cut-corner shape, and a width or height at or below 296 x 148 is set to it.
    // Otherwise the window has no shape of its own.
    void applyChromeRules();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeChrome();

    QWidget *m_host;
    JSCAPTION *m_caption;
    JSBORDER *m_left;
    JSBORDER *m_right;
    JSBORDER *m_bottom;
    QMargins m_ownMargins;
    bool m_applying = false;
};

} // namespace Skin
