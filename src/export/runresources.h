#pragma once

#include "exportoptions.h"
#include "location.h"

#include "imaging/watermarker.h"
#include "market/stocklist.h"

#include <QStringList>

#include <optional>

namespace Core {
class HttpClient;
struct Config;
} // namespace Core

namespace Export {

// What every item of a run reads, fetched once at its start: the main parameter page's
// slots, the city table, the stock page's parameters and the watermark. What could not be
// had is said in notes, and the run goes on without it.
struct RunResources
{
    QStringList parameterSlots; // the main parameter page, every slot present
    CityTable cities;
    Market::StockParameters stock;
    std::optional<Imaging::Watermarker> watermarker; // present when the run stamps pictures
    QStringList notes;

    // The six markers that find the description's pictures.
    QStringList descriptionPictureMarkers() const;

    static RunResources fetch(Core::HttpClient &client, const Core::Config &config,
                              const ExportOptions &options);
};

} // namespace Export
