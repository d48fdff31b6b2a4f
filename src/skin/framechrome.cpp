#include "framechrome.h"

#include "chromegeometry.h"
#include "jsborder.h"
#include "jscaption.h"

#include <QEvent>
#include <QWidget>

using namespace Qt::Literals::StringLiterals;

namespace Skin {

FrameChrome::FrameChrome(QWidget *host)
    : QObject(host), m_host(host), m_caption(new JSCAPTION(host)), m_left(new JSBORDER(host)),
      m_right(new JSBORDER(host)), m_bottom(new JSBORDER(host)), m_ownMargins(host->contentsMargins())
{
    m_caption->setObjectName(u"JSCAPTION1"_s);
    m_left->setObjectName(u"JSBORDER1"_s);
    m_right->setObjectName(u"JSBORDER2"_s);
    m_bottom->setObjectName(u"JSBORDER3"_s);
    m_left->setBORDERTYPE(1);
    m_right->setBORDERTYPE(2);
    m_bottom->setBORDERTYPE(3);

    // The main window's bar: its own font (for the failure text) and the caption blue.
    QFont font;
    font.setFamilies({u"宋体"_s, u"SimSun"_s, u"Noto Sans CJK SC"_s});
    font.setPointSize(9);
    m_caption->setFont(font);
    m_caption->setBackColor(0x00DC7E5A);

    const bool visible = host->isVisible();
    host->setWindowFlag(Qt::FramelessWindowHint, true);
    if (visible)
        host->show();

    connect(m_caption, &JSCAPTION::style2Changed, this, &FrameChrome::applyChromeRules);
    connect(m_caption, &JSCAPTION::barHeightChanged, this, &FrameChrome::placeChrome);
    for (JSBORDER *border : {m_left, m_right, m_bottom})
        connect(border, &JSBORDER::thicknessChanged, this, &FrameChrome::placeChrome);
    host->installEventFilter(this);
    applyChromeRules();
}

void FrameChrome::setPath(const QString &path)
{
    m_caption->setPath(path);
    for (JSBORDER *border : {m_left, m_right, m_bottom})
        border->setPath(path);
    placeChrome();
}

bool FrameChrome::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_host && event->type() == QEvent::Resize)
        applyChromeRules();
    return QObject::eventFilter(watched, event);
}

void FrameChrome::applyChromeRules()
{
    // Setting the minimum size resizes the host, which comes back here.
    if (m_applying)
        return;
    m_applying = true;
    const int style2 = m_caption->Style2();
    for (JSBORDER *border : {m_left, m_right, m_bottom})
        border->setVisible(style2 != 1);
    if (style2 == 2) {
        const QSize size = withChromeMinimum(m_host->size());
        if (size != m_host->size())
            m_host->resize(size);
        m_host->setMask(cutCornerRegion(m_host->size()));
    } else {
        m_host->clearMask();
    }
    placeChrome();
    m_applying = false;
}

void FrameChrome::placeChrome()
{
    // The bar and the bottom edge span the whole width; the side edges run between them.
    const int width = m_host->width();
    const int height = m_host->height();
    const bool borders = m_caption->Style2() != 1;
    const int top = m_caption->height();
    const int left = borders ? m_left->thickness() : 0;
    const int right = borders ? m_right->thickness() : 0;
    const int bottom = borders ? m_bottom->thickness() : 0;
    const int side = std::max(0, height - top - bottom);
    m_caption->setGeometry(0, 0, width, top);
    m_left->setGeometry(0, top, left, side);
    m_right->setGeometry(width - right, top, right, side);
    m_bottom->setGeometry(0, height - bottom, width, bottom);
    for (QWidget *chrome : std::initializer_list<QWidget *>{m_caption, m_left, m_right, m_bottom})
        chrome->raise();
    const QMargins margins = m_ownMargins + QMargins(left, top, right, bottom);
    if (m_host->contentsMargins() != margins)
        m_host->setContentsMargins(margins);
}

} // namespace Skin
