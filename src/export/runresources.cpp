#include "runresources.h"

#include "market/parameterslots.h"
#include "market/parampages.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace Export {

QStringList RunResources::descriptionPictureMarkers() const
{
    return parameterSlots.mid(Market::MainSlot::descriptionPictureMarkers,
                              Market::MainSlot::descriptionPictureMarkerCount);
}

RunResources RunResources::fetch(Core::HttpClient &client, const Core::Config &config,
                                 const ExportOptions &options)
{
    RunResources resources;
    // The window's slots stand when the page can't be read again.
    resources.parameterSlots = options.parameterSlots;
    Market::loadParamPage(client, config, Market::ParamPage::Main, resources.parameterSlots);
    while (resources.parameterSlots.size() < Market::MainSlot::count)
        resources.parameterSlots.append(QString());
    const QStringList markers = resources.descriptionPictureMarkers();
    if (!options.skipDescriptionPictures &&
        std::all_of(markers.cbegin(), markers.cend(), [](const QString &m) { return m.isEmpty(); })) {
        resources.notes << u"无法读取参数页 copy36.htm：描述图片的标记为空，描述图片未下载"_s;
    }
    resources.cities = CityTable::fetch(client, config);
    resources.stock = Market::StockParameters::fetch(client, config);
    if (!resources.stock.loaded)
        resources.notes << u"无法读取库存参数页 ks_set.htm：库存文件只有空白模板"_s;
    if (options.useWatermark) {
        QString error;
        Imaging::Watermarker watermarker;
        if (options.watermarkSettings) {
            watermarker = Imaging::Watermarker(*options.watermarkSettings, options.watermarkPicture);
            error = watermarker.errorString();
        } else {
            watermarker = Imaging::Watermarker::fromProgramFolder(options.programDir, &error);
        }
        if (watermarker.isUsable())
            resources.watermarker = std::move(watermarker);
        else
            resources.notes << u"水印不可用，图片未加水印："_s + error;
    }
    return resources;
}

} // namespace Export
