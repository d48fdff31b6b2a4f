// skin-preview: a window in the skinned frame with a few controls, for looking at a skin.
//   skin-preview [--skin FILE] [--title TEXT] [--style N] [--show-ontop]
//                [--maximise] [--hover close|max|min|ontop] [--grab FILE] [--delay MS]
// --grab saves a picture of the screen around the window (all of it when maximised) after
// --delay milliseconds and ends the program.

#include "skin/framechrome.h"
#include "skin/jscaption.h"

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QCursor>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {

QIcon makeIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x2A, 0x47, 0x94), 2));
    painter.setBrush(QColor(0xFF, 0xFF, 0xFF));
    painter.drawRoundedRect(QRectF(2, 2, 28, 28), 6, 6);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xF0, 0x8A, 0x24));
    painter.drawRoundedRect(QRectF(8, 12, 16, 12), 2, 2);
    painter.setBrush(QColor(0x5A, 0x7E, 0xDC));
    painter.drawPolygon(QPolygonF({{16, 4}, {23, 11}, {9, 11}}));
    return QIcon(pixmap);
}

void buildContent(QWidget *window)
{
    auto *layout = new QGridLayout(window);
    auto *list = new QGroupBox(u"网址ID：商品名"_s, window);
    auto *listLayout = new QVBoxLayout(list);
    auto *entries = new QListWidget(list);
    entries->addItems({u"网址ID:2001：秋冬加厚羊毛围巾"_s, u"网址ID:2002：手工陶瓷茶杯套装"_s,
                       u"网址ID:2003：纯棉印花抱枕"_s});
    listLayout->addWidget(entries);
    listLayout->addWidget(new QLabel(u"宝贝数:3"_s, list));
    layout->addWidget(list, 0, 0, 2, 1);

    auto *make = new QGroupBox(u"制作数据"_s, window);
    auto *makeLayout = new QVBoxLayout(make);
    auto *first = new QRadioButton(u"制作淘宝助理4.X数据"_s, make);
    first->setChecked(true);
    makeLayout->addWidget(first);
    makeLayout->addWidget(new QRadioButton(u"制作淘宝助理5.X或阿里巴巴数据"_s, make));
    makeLayout->addWidget(new QRadioButton(u"制作拍拍数据"_s, make));
    makeLayout->addWidget(new QLineEdit(u"/home/shop/out/201203150930.csv"_s, make));
    makeLayout->addWidget(new QPushButton(u"制作CSV数据"_s, make));
    layout->addWidget(make, 0, 1);

    auto *options = new QGroupBox(u"参数"_s, window);
    auto *optionsLayout = new QVBoxLayout(options);
    optionsLayout->addWidget(new QCheckBox(u"不下载描述图片"_s, options));
    optionsLayout->addWidget(new QCheckBox(u"去掉原商品广告链接"_s, options));
    optionsLayout->addWidget(new QCheckBox(u"使用水印"_s, options));
    optionsLayout->addStretch();
    layout->addWidget(options, 1, 1);

    auto *progress = new QLabel(u"导出过程提示"_s, window);
    layout->addWidget(progress, 2, 0, 1, 2);
    layout->setColumnStretch(0, 3);
    layout->setColumnStretch(1, 2);
}

std::optional<Skin::CaptionButton> buttonNamed(const QString &name)
{
    if (name == "close"_L1)
        return Skin::CaptionButton::Close;
    if (name == "max"_L1)
        return Skin::CaptionButton::MaxRestore;
    if (name == "min"_L1)
        return Skin::CaptionButton::Minimise;
    if (name == "ontop"_L1)
        return Skin::CaptionButton::OnTop;
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"skin-preview"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"A window in the skinned frame."_s);
    parser.addHelpOption();
    const QCommandLineOption skinOption(u"skin"_s, u"The skin file (default: skin.jss beside the program)."_s,
                                        u"file"_s);
    const QCommandLineOption titleOption(u"title"_s, u"The window title."_s, u"text"_s, u"Quorvexv3.6"_s);
    const QCommandLineOption styleOption(u"style"_s, u"The caption bar's Style, 0 to 4."_s, u"n"_s, u"1"_s);
    const QCommandLineOption onTopOption(u"show-ontop"_s, u"Show the stay-on-top button."_s);
    const QCommandLineOption maximiseOption(u"maximise"_s, u"Maximise to the work area."_s);
    const QCommandLineOption hoverOption(
        u"hover"_s, u"Put the pointer on a button: close, max, min or ontop."_s, u"button"_s);
    const QCommandLineOption grabOption(u"grab"_s, u"Save a screenshot to this file and quit."_s, u"file"_s);
    const QCommandLineOption delayOption(u"delay"_s, u"Milliseconds before the screenshot."_s, u"ms"_s,
                                         u"800"_s);
    parser.addOptions({skinOption, titleOption, styleOption, onTopOption, maximiseOption, hoverOption,
                       grabOption, delayOption});
    parser.process(app);

    std::optional<Skin::CaptionButton> hover;
    if (parser.isSet(hoverOption)) {
        hover = buttonNamed(parser.value(hoverOption));
        if (!hover) {
            std::fprintf(stderr, "skin-preview: --hover takes close, max, min or ontop\n");
            return 2;
        }
    }
    const QString skinPath = parser.isSet(skinOption)
                                 ? parser.value(skinOption)
                                 : QDir(QCoreApplication::applicationDirPath()).filePath(u"skin.jss"_s);

    QWidget window;
    window.setWindowTitle(parser.value(titleOption));
    window.setWindowIcon(makeIcon());
    buildContent(&window);
    auto *chrome = new Skin::FrameChrome(&window);
    Skin::JSCAPTION *caption = chrome->caption();
    caption->setStyle(parser.value(styleOption).toInt());
    caption->setSHOWONTOP(parser.isSet(onTopOption));
    chrome->setPath(skinPath);
    window.resize(760, 480);
    if (QScreen *screen = window.screen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();

    const int delay = std::max(100, parser.value(delayOption).toInt());
    QTimer::singleShot(delay / 3, &window, [&] {
        if (parser.isSet(maximiseOption))
            caption->workAreaMaximise();
    });
    QTimer::singleShot(delay * 2 / 3, &window, [&] {
        if (hover) {
            const Skin::ButtonSpan span = caption->buttonLayout().span(*hover);
            const int y = caption->buttonLayout().fromTop + caption->buttonLayout().closeHeight / 2;
            QCursor::setPos(caption->mapToGlobal(QPoint((span.left + span.right) / 2, y)));
        }
    });
    if (parser.isSet(grabOption)) {
        QTimer::singleShot(delay, &window, [&] {
            QScreen *screen = window.screen();
            QPixmap shot = screen->grabWindow(0);
            if (!caption->isMaximised()) {
                const QRect around = window.frameGeometry().adjusted(-24, -24, 24, 24) & screen->geometry();
                shot = shot.copy(around.translated(-screen->geometry().topLeft()));
            }
            const QString file = parser.value(grabOption);
            if (!shot.save(file)) {
                std::fprintf(stderr, "skin-preview: can't write %s\n", qPrintable(file));
                QCoreApplication::exit(1);
                return;
            }
            QCoreApplication::quit();
        });
    }
    return QApplication::exec();
}
