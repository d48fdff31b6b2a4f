#include "watermarkwindow.h"

#include "prompter.h"
#include "widgets.h"

#include "core/text.h"
#include "imaging/watermark.h"

#include <QButtonGroup>
#include <QColorDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace App {

namespace {

constexpr int textLimit = 20;
constexpr int jpegQuality = 80;
constexpr QSize pictureBoxSize(160, 120);

QLineEdit *numberField(QWidget *parent, const QString &name, int width = 48)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setFixedWidth(width);
    return field;
}

} // namespace

WatermarkWindow::WatermarkWindow(const QString &programDir, QWidget *parent)
    : WatermarkWindow(programDir, Prompter::standard(), parent)
{
}

WatermarkWindow::WatermarkWindow(const QString &programDir, Prompter &prompter, QWidget *parent)
    : QWidget(parent, Qt::Window), m_programDir(programDir), m_prompter(prompter)
{
    setObjectName(u"watermarkWindow"_s);
    setWindowTitle(u"图片水印设置"_s);
    m_colourChooser = [](QWidget *owner, const QColor &current) {
        return QColorDialog::getColor(current, owner);
    };
    m_pictureChooser = [](QWidget *owner, const QString &filter) {
        return QFileDialog::getOpenFileName(owner, QString(), QString(), filter);
    };
    buildLayout();

    // Opening: the saved settings, the swatch, the sample picture and the watermark picture.
    setSettings(Imaging::loadWatermarkSettings(m_programDir));
    const QString sample = Core::programFilePath(m_programDir, Imaging::sampleMainPictureFileName());
    if (Core::FileExists(sample))
        m_sample = Imaging::drawingSurface(Imaging::loadPicture(sample));
    showSample();
    const QString picture = Imaging::watermarkPictureFile(settings(), m_programDir);
    if (!picture.isEmpty())
        loadWatermarkPicture(picture);
}

void WatermarkWindow::buildLayout()
{
    m_sampleView = new QLabel(this);
    m_sampleView->setObjectName(u"sampleView"_s);
    m_sampleView->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto *sampleArea = new QScrollArea(this);
    sampleArea->setWidget(m_sampleView);
    sampleArea->setWidgetResizable(true);
    sampleArea->setMinimumSize(420, 380);
    sampleArea->setBackgroundRole(QPalette::Dark);

    m_textMode = new QRadioButton(Imaging::textModeName(), this);
    m_textMode->setObjectName(u"textMode"_s);
    m_pictureMode = new QRadioButton(Imaging::pictureModeName(), this);
    m_pictureMode->setObjectName(u"pictureMode"_s);
    auto *modes = new QButtonGroup(this);
    modes->addButton(m_textMode);
    modes->addButton(m_pictureMode);
    m_textMode->setChecked(true);

    m_text = new QLineEdit(this);
    m_text->setObjectName(u"text"_s);
    m_fontSize = numberField(this, u"fontSize"_s);
    m_transparency = numberField(this, u"transparency"_s);
    m_red = numberField(this, u"red"_s, 40);
    m_green = numberField(this, u"green"_s, 40);
    m_blue = numberField(this, u"blue"_s, 40);
    m_red->setToolTip(u"红"_s);
    m_green->setToolTip(u"绿"_s);
    m_blue->setToolTip(u"蓝"_s);
    m_left = numberField(this, u"left"_s);
    m_top = numberField(this, u"top"_s);
    m_picturePath = new QLineEdit(this);
    m_picturePath->setObjectName(u"picturePath"_s);
    m_picturePath->setMinimumWidth(200);

    m_swatch = new QLabel(this);
    m_swatch->setObjectName(u"swatch"_s);
    m_swatch->setFixedSize(40, m_red->sizeHint().height());
    m_swatch->setFrameShape(QFrame::Box);
    m_swatch->setAutoFillBackground(true);

    m_chooseColour = makeButton(this, u"取色"_s, u"chooseColour"_s);
    m_choosePicture = makeButton(this, u"取水印图"_s, u"choosePicture"_s);

    m_pictureView = new QLabel(this);
    m_pictureView->setObjectName(u"pictureView"_s);
    m_pictureView->setFixedSize(pictureBoxSize);
    m_pictureView->setFrameShape(QFrame::StyledPanel);
    m_pictureView->setAlignment(Qt::AlignCenter);

    auto *settingsBox = new QGroupBox(this);
    auto *grid = new QGridLayout(settingsBox);
    int row = 0;
    auto *modeRow = new QHBoxLayout;
    modeRow->addWidget(m_textMode);
    modeRow->addWidget(m_pictureMode);
    modeRow->addStretch();
    grid->addLayout(modeRow, row++, 0, 1, 2);

    const auto addRow = [&](const QString &label, std::initializer_list<QWidget *> widgets) {
        grid->addWidget(new QLabel(label, settingsBox), row, 0);
        auto *line = new QHBoxLayout;
        for (QWidget *widget : widgets)
            line->addWidget(widget);
        line->addStretch();
        grid->addLayout(line, row++, 1);
    };
    addRow(u"水印文字"_s, {m_text});
    addRow(u"字号："_s, {m_fontSize, new QLabel(u"数值：12-72"_s, settingsBox)});
    addRow(u"透明度："_s, {m_transparency, new QLabel(u"数值:0-100"_s, settingsBox)});
    addRow(u"颜色"_s, {m_swatch, m_red, m_green, m_blue, m_chooseColour});
    addRow(u"位置："_s,
           {new QLabel(u"左边距"_s, settingsBox), m_left, new QLabel(u"上边距"_s, settingsBox), m_top});
    addRow(u"水印图片"_s, {m_picturePath, m_choosePicture});
    grid->addWidget(m_pictureView, row++, 1, Qt::AlignLeft);

    auto *buttons = new QHBoxLayout;
    const std::pair<QPushButton *, void (WatermarkWindow::*)()> actions[] = {
        {makeButton(this, u"测试水印"_s, u"testWatermark"_s), &WatermarkWindow::testWatermark},
        {makeButton(this, u"图片水印"_s, u"blendPicture"_s), &WatermarkWindow::blendCornerPicture},
        {makeButton(this, u"主图复原"_s, u"restoreSample"_s), &WatermarkWindow::restoreSample},
        {makeButton(this, u"保存"_s, u"saveSample"_s), &WatermarkWindow::saveSample},
        {makeButton(this, u"保存设置"_s, u"saveSettings"_s), &WatermarkWindow::saveSettings},
    };
    for (const auto &[pushButton, action] : actions) {
        buttons->addWidget(pushButton);
        connect(pushButton, &QPushButton::clicked, this, action);
    }

    auto *side = new QVBoxLayout;
    side->addWidget(settingsBox);
    side->addStretch();
    side->addLayout(buttons);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(sampleArea, 1);
    layout->addLayout(side);

    connect(m_textMode, &QRadioButton::toggled, this, [this](bool on) { setPictureMode(!on); });
    connect(m_chooseColour, &QPushButton::clicked, this, &WatermarkWindow::chooseColour);
    connect(m_choosePicture, &QPushButton::clicked, this, &WatermarkWindow::choosePicture);
    // The checks answer the user's typing only; values set by the program (from setsy.txt or
    // the colour dialog) were warned about when they were typed.
    connect(m_text, &QLineEdit::textEdited, this, &WatermarkWindow::checkText);
    connect(m_fontSize, &QLineEdit::textEdited, this,
            [this] { checkNumber(m_fontSize, 12, 72, u"请输入12至72之间的数字"_s); });
    for (QLineEdit *field : {m_transparency, m_left, m_top}) {
        connect(field, &QLineEdit::textEdited, this,
                [this, field] { checkNumber(field, 1, 100, u"请输入1至100之间的数字"_s); });
    }
    for (QLineEdit *field : {m_red, m_green, m_blue})
        connect(field, &QLineEdit::textChanged, this, &WatermarkWindow::updateSwatch);
}

Imaging::WatermarkSettings WatermarkWindow::settings() const
{
    Imaging::WatermarkSettings result;
    result.mode = m_pictureMode->isChecked() ? Imaging::WatermarkSettings::Mode::Picture
                                             : Imaging::WatermarkSettings::Mode::Text;
    result.text = m_text->text();
    result.fontSize = m_fontSize->text();
    result.transparency = m_transparency->text();
    result.red = m_red->text();
    result.green = m_green->text();
    result.blue = m_blue->text();
    result.left = m_left->text();
    result.top = m_top->text();
    result.picturePath = m_picturePath->text();
    return result;
}

void WatermarkWindow::setSettings(const Imaging::WatermarkSettings &settings)
{
    const bool pictureMode = settings.mode == Imaging::WatermarkSettings::Mode::Picture;
    (pictureMode ? m_pictureMode : m_textMode)->setChecked(true);
    setPictureMode(pictureMode);
    m_text->setText(settings.text);
    m_fontSize->setText(settings.fontSize);
    m_transparency->setText(settings.transparency);
    m_red->setText(settings.red);
    m_green->setText(settings.green);
    m_blue->setText(settings.blue);
    m_left->setText(settings.left);
    m_top->setText(settings.top);
    m_picturePath->setText(settings.picturePath);
    updateSwatch();
}

void WatermarkWindow::setColourChooser(ColourChooser chooser)
{
    m_colourChooser = std::move(chooser);
}

void WatermarkWindow::setPictureChooser(PictureChooser chooser)
{
    m_pictureChooser = std::move(chooser);
}

QString WatermarkWindow::pictureFilter()
{
    return u"图片文件(*.jpg *.gif *.bmp)"_s;
}

void WatermarkWindow::setPictureMode(bool pictureMode)
{
    m_text->setEnabled(!pictureMode);
    m_fontSize->setEnabled(!pictureMode);
    m_chooseColour->setEnabled(!pictureMode);
    m_picturePath->setEnabled(pictureMode);
    m_choosePicture->setEnabled(pictureMode);
}

void WatermarkWindow::checkText(const QString &typed)
{
    if (typed.contains(u'#')) {
        // "#" separates the fields of setsy.txt, so it never stays in the text.
        const int removedBeforeCursor = int(typed.left(m_text->cursorPosition()).count(u'#'));
        const int cursor = m_text->cursorPosition() - removedBeforeCursor;
        m_text->setText(QString(typed).remove(u'#'));
        m_text->setCursorPosition(cursor);
    }
    if (m_text->text().size() > textLimit) {
        m_prompter.inform(this, u"水印文字请在20个以内"_s);
        m_text->clear();
        m_text->setFocus();
    }
}

void WatermarkWindow::checkNumber(QLineEdit *field, int lowest, int highest, const QString &message)
{
    if (Core::isNumericWithin(field->text(), lowest, highest))
        return;
    m_prompter.inform(this, message);
    field->setFocus();
}

void WatermarkWindow::updateSwatch()
{
    QPalette palette = m_swatch->palette();
    palette.setColor(QPalette::Window, QColor(settings().colour()));
    m_swatch->setPalette(palette);
}

void WatermarkWindow::showSample()
{
    m_sampleView->setPixmap(m_sample.isNull() ? QPixmap() : QPixmap::fromImage(m_sample));
}

void WatermarkWindow::showWatermarkPicture()
{
    if (m_picture.isNull()) {
        m_pictureView->clear();
        return;
    }
    QPixmap pixmap = QPixmap::fromImage(m_picture);
    // Only the view is scaled; the watermark keeps its own size.
    if (pixmap.width() > pictureBoxSize.width() || pixmap.height() > pictureBoxSize.height())
        pixmap = pixmap.scaled(pictureBoxSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    m_pictureView->setPixmap(pixmap);
}

bool WatermarkWindow::loadWatermarkPicture(const QString &path)
{
    const QImage picture = Imaging::loadPicture(path);
    if (picture.isNull())
        return false;
    m_picture = Imaging::drawingSurface(picture);
    showWatermarkPicture();
    return true;
}

void WatermarkWindow::chooseColour()
{
    const QColor chosen = m_colourChooser(this, QColor(settings().colour()));
    if (!chosen.isValid())
        return;
    m_red->setText(QString::number(chosen.red()));
    m_green->setText(QString::number(chosen.green()));
    m_blue->setText(QString::number(chosen.blue()));
    updateSwatch();
}

void WatermarkWindow::choosePicture()
{
    const QString chosen = m_pictureChooser(this, pictureFilter());
    const QString lower = chosen.toLower();
    if (!(lower.contains(u"jpg"_s) || lower.contains(u"gif"_s) || lower.contains(u"bmp"_s)))
        return;
    m_picturePath->setText(chosen);
    if (!m_pictureMode->isChecked() || !Imaging::hasWatermarkPictureExtension(chosen))
        return;
    if (!loadWatermarkPicture(chosen))
        m_prompter.inform(this, u"无法读取图片："_s + chosen);
}

void WatermarkWindow::testWatermark()
{
    if (Imaging::DrawWatermark(m_sample, settings(), m_picture))
        showSample();
}

void WatermarkWindow::blendCornerPicture()
{
    Imaging::BlendCornerPicture(m_sample, m_picture);
    showSample();
}

void WatermarkWindow::restoreSample()
{
    const QString path = Core::programFilePath(m_programDir, Imaging::sampleMainPictureFileName());
    const QImage sample = Imaging::loadPicture(path);
    if (sample.isNull()) {
        m_prompter.inform(this, u"无法读取图片："_s + path);
        return;
    }
    m_sample = Imaging::drawingSurface(sample);
    showSample();
}

void WatermarkWindow::saveSample()
{
    // "P1.jpg" holds the picture as a bitmap, whatever its name says; "c.jpg" is the JPEG.
    const QString bitmapPath = Core::programFilePath(m_programDir, u"P1.jpg"_s);
    const QString jpegPath = Core::programFilePath(m_programDir, u"c.jpg"_s);
    if (!Imaging::saveBitmap(m_sample, bitmapPath)) {
        m_prompter.inform(this, u"保存失败"_s);
        return;
    }
    const QImage reloaded = Imaging::loadPicture(bitmapPath);
    if (!reloaded.isNull()) {
        m_sample = Imaging::drawingSurface(reloaded);
        showSample();
    }
    if (reloaded.isNull() || !Imaging::SaveAsJpeg(m_sample, jpegPath, jpegQuality))
        m_prompter.inform(this, u"保存失败"_s);
}

void WatermarkWindow::saveSettings()
{
    QString error;
    if (!Imaging::saveWatermarkSettings(m_programDir, settings(), &error)) {
        m_prompter.inform(this, u"保存失败："_s + error);
        return;
    }
    m_prompter.inform(this, u"保存完成"_s);
}

} // namespace App
