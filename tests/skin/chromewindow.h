#pragma once

// A fresh window in the skinned frame for one test.

#include "testskin.h"

#include "skin/chromegeometry.h"
#include "skin/framechrome.h"
#include "skin/jsborder.h"
#include "skin/jscaption.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <optional>

class ChromeWindow
{
public:
    static constexpr QRect startGeometry{100, 100, 600, 300};

    explicit ChromeWindow(const QString &skinPath, int style = 1, bool showOnTop = false)
    {
        host.setWindowTitle(u"Quorvexv3.6"_s);
        auto *layout = new QVBoxLayout(&host);
        layout->setContentsMargins(0, 0, 0, 0);
        content = new QWidget(&host);
        content->setObjectName(u"content"_s);
        layout->addWidget(content);
        chrome = new Skin::FrameChrome(&host);
        caption()->setStyle(style);
        caption()->setSHOWONTOP(showOnTop);
        caption()->setWorkAreaProvider([this](QWidget *) { return workArea; });
        chrome->setPath(skinPath);
        host.setGeometry(startGeometry);
        host.show();
    }

    bool exposed() { return QTest::qWaitForWindowExposed(&host); }

    Skin::JSCAPTION *caption() const { return chrome->caption(); }

    // The middle of a button's hit zone, in the bar.
    QPoint centre(Skin::CaptionButton button) const
    {
        const Skin::CaptionLayout layout = caption()->buttonLayout();
        const Skin::ButtonSpan span = layout.span(button);
        return {(span.left + span.right) / 2, layout.fromTop + layout.closeHeight / 2};
    }

    QRgb pixel(QWidget *widget, QPoint pos) const { return widget->grab().toImage().pixel(pos); }
    QRgb barPixel(Skin::CaptionButton button) const { return pixel(caption(), centre(button)); }

    QWidget host;
    QWidget *content = nullptr;
    Skin::FrameChrome *chrome = nullptr;
    std::optional<Skin::WorkArea> workArea = Skin::WorkArea{0, 0, 1024, 738};
};

// A folder with the solid test skin packed once for a whole suite.
class SolidSkinFile
{
public:
    explicit SolidSkinFile(const TestSkin &skin = TestSkin::solid(), const QString &name = u"skin"_s)
    {
        m_path = m_dir.filePath(name + u".jss"_s);
        m_error = skin.write(m_dir.filePath(name), m_path);
    }
    const QString &path() const { return m_path; }
    const QString &error() const { return m_error; }
    QString folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QString m_path;
    QString m_error;
};
