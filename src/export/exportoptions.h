#pragma once

#include "description.h"
#include "layouts.h"

#include "core/adjustments.h"
#include "imaging/watermarksettings.h"

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace Export {

// Everything a run reads from the window (or the command line), taken once at its start.
// Items in flight at most, whatever a caller asks for.
constexpr int maxJobs = 64;

struct ExportOptions
{
    QString csvPath;
    QString programDir;
    OutputType type = OutputType::Taobao5;
    bool useRules = false;
    QList<ReplacementRule> rules;
    bool useWatermark = false;
    // The watermark settings window's fields and picture as they stand when it is open;
    // without them the run reads setsy.txt and sy_pic2.jpg from the program folder.
    std::optional<Imaging::WatermarkSettings> watermarkSettings;
    QImage watermarkPicture;
    bool skipDescriptionPictures = false;
    // "跳过已下载的图片" / --resume: a picture whose file an earlier run left whole in the
    // picture folder is taken as it is instead of being fetched (and never stamped again).
    bool reusePictures = false;
    bool stripLinks = false;
    QString sellerName;
    Core::Adjustments adjustments;
    // The main window's parameter slots; the run reads the main parameter page
    // again at its start and keeps these only when that fails.
    QStringList parameterSlots;
    int jobs = 6;                     // items in flight at once
    std::function<QDateTime()> clock; // the date-time columns; the local time when empty
};

} // namespace Export
