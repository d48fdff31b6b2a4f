#pragma once

#include "imaging/watermarksettings.h"

#include <QColor>
#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>

class QLineEdit;

namespace Ui {
class WatermarkWindow;
}

namespace App {

class Prompter;

// "图片水印设置": the watermark's look, tried on a sample picture and kept in setsy.txt.
// The fields hold the settings as typed; the checks warn beside a box while it is typed in,
// and "保存设置" writes nothing while a box holds a value outside its range.
class WatermarkWindow : public QWidget
{
    Q_OBJECT

public:
    // The platform dialogs, replaceable so that a test never waits on a modal dialog.
    // The colour chooser gets the current colour and returns an invalid colour when cancelled;
    // the picture chooser gets the filter and returns the empty text when cancelled.
    using ColourChooser = std::function<QColor(QWidget *parent, const QColor &current)>;
    using PictureChooser = std::function<QString(QWidget *parent, const QString &filter)>;

    WatermarkWindow(const QString &programDir, Prompter &prompter, QWidget *parent = nullptr);
    explicit WatermarkWindow(const QString &programDir, QWidget *parent = nullptr);
    ~WatermarkWindow() override;

    // The settings as the fields stand, unsaved edits included.
    Imaging::WatermarkSettings settings() const;
    void setSettings(const Imaging::WatermarkSettings &settings);
    // The sample main picture as drawn on so far, and the watermark picture in its box.
    QImage samplePicture() const { return m_sample; }
    QImage watermarkPicture() const { return m_picture; }

    void setColourChooser(ColourChooser chooser);
    void setPictureChooser(PictureChooser chooser);
    // The picture dialog's filter: JPEG, GIF and BMP files.
    static QString pictureFilter();

    // The buttons.
    void chooseColour();       // "取色"
    void choosePicture();      // "取水印图"
    void testWatermark();      // "测试水印"
    void blendCornerPicture(); // "图片水印"
    void restoreSample();      // "主图复原"
    void saveSample();         // "保存": "P1.jpg", then "c.jpg"
    void saveSettings();       // "保存设置"

private:
    void connectControls();
    void setPictureMode(bool pictureMode);
    void checkText(const QString &typed);
    // A numeric box, its name as the window labels it, and the range its value must lie in.
    struct NumberField
    {
        QLineEdit *field;
        QString name;
        Core::InputRange range;
    };
    QList<NumberField> numberFields() const;
    void checkNumber(const NumberField &number);
    void updateSwatch();
    void showSample();
    void showWatermarkPicture();
    bool loadWatermarkPicture(const QString &path);

    std::unique_ptr<Ui::WatermarkWindow> m_ui;
    QString m_programDir;
    Prompter &m_prompter;
    ColourChooser m_colourChooser;
    PictureChooser m_pictureChooser;

    QImage m_sample;
    QImage m_picture;
};

} // namespace App
