#include "watermarksettings.h"

#include "core/savefile.h"
#include "core/text.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace Imaging {

namespace {

constexpr int fieldCount = 10;

// The number in a field, or nothing when the field is not numeric. An overflowing
// exponent gives an infinity (an underflowing one 0), which the callers clamp like any
// other wild value.
bool numericValue(const QString &text, double *value)
{
    if (!Core::isNumeric(text))
        return false;
    const double result = Core::trimSpaces(text).toDouble();
    if (std::isnan(result))
        return false;
    *value = result;
    return true;
}

double numericOr(const QString &text, double fallback)
{
    double value = 0;
    return numericValue(text, &value) ? value : fallback;
}

int colourChannel(const QString &text)
{
    double value = 0;
    if (!numericValue(text, &value))
        return 0;
    return int(std::nearbyint(std::clamp(value, 0.0, 255.0)));
}

// A field other than the path must not hold "#" or a line break: either would shift
// every later field when the line is read back.
QString singleField(QString text)
{
    text.remove(u'#');
    text.remove(u'\r');
    text.remove(u'\n');
    return text;
}

} // namespace

WatermarkSettings::WatermarkSettings()
    : text(u"Pelmora软件"_s), fontSize(u"16"_s), transparency(u"30"_s), red(u"255"_s), green(u"0"_s),
      blue(u"0"_s), left(u"50"_s), top(u"50"_s)
{
}

double WatermarkSettings::fontPoints() const
{
    return std::clamp(numericOr(fontSize, 12), 1.0, 1500.0);
}

double WatermarkSettings::transparencyPercent() const
{
    return numericOr(transparency, 50);
}

double WatermarkSettings::leftPercent() const
{
    return numericOr(left, 50);
}

double WatermarkSettings::topPercent() const
{
    return numericOr(top, 50);
}

QRgb WatermarkSettings::colour() const
{
    return qRgb(colourChannel(red), colourChannel(green), colourChannel(blue));
}

Core::InputRange fontSizeRange()
{
    return {12, 72, false, u"请输入12至72之间的数字"_s};
}

Core::InputRange percentRange()
{
    return {1, 100, false, u"请输入1至100之间的数字"_s};
}

Core::InputRange colourChannelRange()
{
    return {0, 255, false, u"请输入0至255之间的数字"_s};
}

QString watermarkSettingsFileName()
{
    return u"setsy.txt"_s;
}

QString sampleMainPictureFileName()
{
    return u"sy_pic1.jpg"_s;
}

QString defaultWatermarkPictureFileName()
{
    return u"sy_pic2.jpg"_s;
}

QString textModeName()
{
    return u"文字水印"_s;
}

QString pictureModeName()
{
    return u"图片水印"_s;
}

WatermarkSettings parseWatermarkSettings(const QByteArray &fileBytes)
{
    WatermarkSettings settings;
    qsizetype lineEnd = fileBytes.size();
    for (const char stop : {'\r', '\n'}) {
        const qsizetype at = fileBytes.indexOf(stop);
        if (at >= 0)
            lineEnd = std::min(lineEnd, at);
    }
    const QString line = Core::decodeAnsi(fileBytes.left(lineEnd));
    // An empty line holds no fields at all, not one empty mode field.
    if (line.isEmpty())
        return settings;

    QStringList fields = line.split(u'#');
    if (fields.size() > fieldCount) {
        const QString rest = fields.mid(fieldCount - 1).join(u'#');
        fields = fields.mid(0, fieldCount - 1);
        fields.append(rest);
    }
    settings.mode =
        fields.at(0) == textModeName() ? WatermarkSettings::Mode::Text : WatermarkSettings::Mode::Picture;
    QString *const targets[fieldCount - 1] = {&settings.text, &settings.fontSize, &settings.transparency,
                                              &settings.red,  &settings.green,    &settings.blue,
                                              &settings.left, &settings.top,      &settings.picturePath};
    for (qsizetype i = 1; i < fields.size(); ++i)
        *targets[i - 1] = fields.at(i);
    return settings;
}

QByteArray serializeWatermarkSettings(const WatermarkSettings &settings)
{
    const QStringList fields = {
        settings.mode == WatermarkSettings::Mode::Text ? textModeName() : pictureModeName(),
        singleField(Core::CleanField(settings.text)),
        singleField(settings.fontSize),
        singleField(settings.transparency),
        singleField(settings.red),
        singleField(settings.green),
        singleField(settings.blue),
        singleField(settings.left),
        singleField(settings.top),
        // The path is the last field and is read back with the rest of the line, so
        // only line breaks have to go.
        QString(settings.picturePath).remove(u'\r').remove(u'\n'),
    };
    return Core::encodeAnsi(fields.join(u'#')) + "\r\n";
}

WatermarkSettings loadWatermarkSettings(const QString &programDir)
{
    QFile file(Core::programFilePath(programDir, watermarkSettingsFileName()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Only the first line counts; a settings line is short, so a stray huge file is not read whole.
    return parseWatermarkSettings(file.read(1024 * 1024));
}

bool saveWatermarkSettings(const QString &programDir, const WatermarkSettings &settings, QString *error)
{
    const Core::SaveResult saved = Core::saveFile(
        Core::programFilePath(programDir, watermarkSettingsFileName()), serializeWatermarkSettings(settings));
    if (!saved && error)
        *error = saved.reason;
    return saved.saved;
}

bool hasWatermarkPictureExtension(const QString &path)
{
    const QString ending = path.right(4).toLower();
    return ending == u".jpg"_s || ending == u".gif"_s || ending == u".bmp"_s;
}

QString watermarkPictureFile(const WatermarkSettings &settings, const QString &programDir)
{
    if (settings.mode == WatermarkSettings::Mode::Picture && !Core::isBlank(settings.picturePath) &&
        hasWatermarkPictureExtension(settings.picturePath) && Core::FileExists(settings.picturePath))
        return settings.picturePath;
    const QString fallback = Core::programFilePath(programDir, defaultWatermarkPictureFileName());
    return Core::FileExists(fallback) ? fallback : QString();
}

} // namespace Imaging
