#include "watermarkwindow.h"
#include "ui_watermarkwindow.h"

#include "prompter.h"

#include "core/text.h"
#include "imaging/watermark.h"

#include <QColorDialog>
#include <QFileDialog>

using namespace Qt::Literals::StringLiterals;

namespace App {

namespace {

constexpr int textLimit = 20;
constexpr int jpegQuality = 80;
constexpr QSize pictureBoxSize(160, 120);

} // namespace

WatermarkWindow::WatermarkWindow(const QString &programDir, QWidget *parent)
    : WatermarkWindow(programDir, Prompter::standard(), parent)
{
}

WatermarkWindow::WatermarkWindow(const QString &programDir, Prompter &prompter, QWidget *parent)
    : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::WatermarkWindow>()), m_programDir(programDir),
      m_prompter(prompter)
{
    m_ui->setupUi(this);
    m_colourChooser = [](QWidget *owner, const QColor &current) {
        return QColorDialog::getColor(current, owner);
    };
    m_pictureChooser = [](QWidget *owner, const QString &filter) {
        return QFileDialog::getOpenFileName(owner, QString(), QString(), filter);
    };
    connectControls();

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

WatermarkWindow::~WatermarkWindow() = default;

void WatermarkWindow::connectControls()
{
    const std::pair<QPushButton *, void (WatermarkWindow::*)()> actions[] = {
        {m_ui->testWatermark, &WatermarkWindow::testWatermark},
        {m_ui->blendPicture, &WatermarkWindow::blendCornerPicture},
        {m_ui->restoreSample, &WatermarkWindow::restoreSample},
        {m_ui->saveSample, &WatermarkWindow::saveSample},
        {m_ui->saveSettings, &WatermarkWindow::saveSettings},
        {m_ui->chooseColour, &WatermarkWindow::chooseColour},
        {m_ui->choosePicture, &WatermarkWindow::choosePicture},
    };
    for (const auto &[pushButton, action] : actions)
        connect(pushButton, &QPushButton::clicked, this, action);

    connect(m_ui->textMode, &QRadioButton::toggled, this, [this](bool on) { setPictureMode(!on); });
    // The checks answer the user's typing only; values set by the program (from setsy.txt or
    // the colour dialog) were warned about when they were typed.
    connect(m_ui->text, &QLineEdit::textEdited, this, &WatermarkWindow::checkText);
    for (const NumberField &number : numberFields())
        connect(number.field, &QLineEdit::textEdited, this, [this, number] { checkNumber(number); });
    for (QLineEdit *field : {m_ui->red, m_ui->green, m_ui->blue})
        connect(field, &QLineEdit::textChanged, this, &WatermarkWindow::updateSwatch);
}

QList<WatermarkWindow::NumberField> WatermarkWindow::numberFields() const
{
    // The same ranges warn while typing and refuse a save: a value warned about is never
    // written to setsy.txt.
    return {
        {m_ui->fontSize, u"字号"_s, Imaging::fontSizeRange()},
        {m_ui->transparency, u"透明度"_s, Imaging::percentRange()},
        {m_ui->red, u"颜色（红）"_s, Imaging::colourChannelRange()},
        {m_ui->green, u"颜色（绿）"_s, Imaging::colourChannelRange()},
        {m_ui->blue, u"颜色（蓝）"_s, Imaging::colourChannelRange()},
        {m_ui->left, u"左边距"_s, Imaging::percentRange()},
        {m_ui->top, u"上边距"_s, Imaging::percentRange()},
    };
}

Imaging::WatermarkSettings WatermarkWindow::settings() const
{
    Imaging::WatermarkSettings result;
    result.mode = m_ui->pictureMode->isChecked() ? Imaging::WatermarkSettings::Mode::Picture
                                                 : Imaging::WatermarkSettings::Mode::Text;
    result.text = m_ui->text->text();
    result.fontSize = m_ui->fontSize->text();
    result.transparency = m_ui->transparency->text();
    result.red = m_ui->red->text();
    result.green = m_ui->green->text();
    result.blue = m_ui->blue->text();
    result.left = m_ui->left->text();
    result.top = m_ui->top->text();
    result.picturePath = m_ui->picturePath->text();
    return result;
}

void WatermarkWindow::setSettings(const Imaging::WatermarkSettings &settings)
{
    const bool pictureMode = settings.mode == Imaging::WatermarkSettings::Mode::Picture;
    (pictureMode ? m_ui->pictureMode : m_ui->textMode)->setChecked(true);
    setPictureMode(pictureMode);
    m_ui->text->setText(settings.text);
    m_ui->fontSize->setText(settings.fontSize);
    m_ui->transparency->setText(settings.transparency);
    m_ui->red->setText(settings.red);
    m_ui->green->setText(settings.green);
    m_ui->blue->setText(settings.blue);
    m_ui->left->setText(settings.left);
    m_ui->top->setText(settings.top);
    m_ui->picturePath->setText(settings.picturePath);
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
    m_ui->text->setEnabled(!pictureMode);
    m_ui->fontSize->setEnabled(!pictureMode);
    m_ui->chooseColour->setEnabled(!pictureMode);
    m_ui->picturePath->setEnabled(pictureMode);
    m_ui->choosePicture->setEnabled(pictureMode);
}

void WatermarkWindow::checkText(const QString &typed)
{
    if (typed.contains(u'#')) {
        // "#" separates the fields of setsy.txt, so it never stays in the text.
        const int removedBeforeCursor = int(typed.left(m_ui->text->cursorPosition()).count(u'#'));
        const int cursor = m_ui->text->cursorPosition() - removedBeforeCursor;
        m_ui->text->setText(QString(typed).remove(u'#'));
        m_ui->text->setCursorPosition(cursor);
    }
    if (m_ui->text->text().size() > textLimit) {
        m_prompter.inform(this, u"水印文字请在20个以内"_s);
        m_ui->text->clear();
        m_ui->text->setFocus();
    }
}

void WatermarkWindow::checkNumber(const NumberField &number)
{
    // Said beside the box, not in a message box: typing "16" passes through "1", and a box
    // would take the focus and the next keystroke.
    m_ui->settingsWarning->setWarning(
        number.field, number.range.accepts(number.field->text()) ? QString() : number.range.message);
}

void WatermarkWindow::updateSwatch()
{
    QPalette palette = m_ui->swatch->palette();
    palette.setColor(QPalette::Window, QColor(settings().colour()));
    m_ui->swatch->setPalette(palette);
}

void WatermarkWindow::showSample()
{
    m_ui->sampleView->setPixmap(m_sample.isNull() ? QPixmap() : QPixmap::fromImage(m_sample));
}

void WatermarkWindow::showWatermarkPicture()
{
    if (m_picture.isNull()) {
        m_ui->pictureView->clear();
        return;
    }
    QPixmap pixmap = QPixmap::fromImage(m_picture);
    // Only the view is scaled; the watermark keeps its own size.
    if (pixmap.width() > pictureBoxSize.width() || pixmap.height() > pictureBoxSize.height())
        pixmap = pixmap.scaled(pictureBoxSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    m_ui->pictureView->setPixmap(pixmap);
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
    m_ui->red->setText(QString::number(chosen.red()));
    m_ui->green->setText(QString::number(chosen.green()));
    m_ui->blue->setText(QString::number(chosen.blue()));
    updateSwatch();
}

void WatermarkWindow::choosePicture()
{
    const QString chosen = m_pictureChooser(this, pictureFilter());
    const QString lower = chosen.toLower();
    if (!(lower.contains(u"jpg"_s) || lower.contains(u"gif"_s) || lower.contains(u"bmp"_s)))
        return;
    m_ui->picturePath->setText(chosen);
    if (!m_ui->pictureMode->isChecked() || !Imaging::hasWatermarkPictureExtension(chosen))
        return;
    if (!loadWatermarkPicture(chosen))
        m_prompter.inform(this, u"无法读取图片："_s + chosen);
}

void WatermarkWindow::testWatermark()
{
    if (m_sample.isNull()) {
        m_prompter.inform(this, u"没有示例图片，无法测试水印"_s);
        return;
    }
    const Imaging::WatermarkSettings current = settings();
    if (current.mode == Imaging::WatermarkSettings::Mode::Picture && m_picture.isNull()) {
        m_prompter.inform(this, u"没有水印图片，请点“取水印图”选择一张"_s);
        return;
    }
    if (!Imaging::DrawWatermark(m_sample, current, m_picture)) {
        // The text is measured in picture mode too, and the picture in text mode: both must fit.
        m_prompter.inform(
            this, u"水印放不下：示例图片要比水印文字和水印图片都大，请调小字号或换一张小一些的水印图片"_s);
        return;
    }
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
    // A box the mode disables (the font size in picture mode) is kept as it stands.
    for (const NumberField &number : numberFields()) {
        if (!number.field->isEnabled() || number.range.accepts(number.field->text()))
            continue;
        checkNumber(number);
        m_prompter.inform(this, number.name + u"："_s + number.range.message + u"，设置没有保存"_s);
        number.field->setFocus();
        return;
    }
    QString error;
    if (!Imaging::saveWatermarkSettings(m_programDir, settings(), &error)) {
        m_prompter.inform(this, u"保存失败："_s + error);
        return;
    }
    m_prompter.inform(this, u"保存完成"_s);
}

} // namespace App
