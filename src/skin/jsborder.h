#pragma once

#include "clsbitmap.h"
#include "skinstore.h"
#include "windowdrag.h"

#include <QWidget>

namespace Skin {

// One edge of a skinned window: `BORDERTYPE` 1 the left edge, 2 the right edge, 3 the bottom
// edge; other types draw nothing and resize nothing. It draws the edge from the skin, takes
// its thickness from the pictures, and resizes its window when dragged while
// BorderResizeEnabled() is on.
class JSBORDER : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int BORDERTYPE READ BORDERTYPE WRITE setBORDERTYPE)
    Q_PROPERTY(QString Path READ Path WRITE setPath)

public:
    explicit JSBORDER(QWidget *parent = nullptr);

    int BORDERTYPE() const { return m_type; }
    void setBORDERTYPE(int type);
    QString Path() const { return m_skin.path(); }
    // Reads the skin file and redraws the edge.
    void setPath(const QString &path);
    // Repaints the edge at once.
    void REDRAW();

    // The part of the edge last under the pointer: 0 lower-left corner, 1 the edge, 2
    // lower-right corner.
    int resizeZone() const { return m_zone; }
    // The width of a side edge or the height of the bottom edge, from the pictures.
    int thickness() const;

signals:
    void thicknessChanged(int thickness);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void redraw();
    void readSkin();
    void pointerAt(QPoint pos);

    SkinFile m_skin;
    // The end piece (top of a side edge, left end of the bottom), the tile, and the bottom's
    // right end.
    clsBitmap m_end;
    clsBitmap m_tile;
    clsBitmap m_secondEnd;
    int m_type = 0;
    int m_zone = 0;
    WindowDrag m_drag;
};

} // namespace Skin
