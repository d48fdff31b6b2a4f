#pragma once

#include "shopitem.h"

#include <QString>

namespace Sandbox {

// A shop of any size made up from (seed, index): items are computed when asked for,
// so a hundred thousand of them cost nothing until they are requested.
class GeneratedShop
{
public:
    static constexpr int PicturesPerItem = 10;
    static constexpr int MainPictures = 4;

    // With sharedPictures the items share pictures as real shops do: the fourth main picture
    // with three other items (one product in four colours), and four of the description's
    // pictures (header, size chart, shipping notice, brand) with every item of the shop.
    GeneratedShop(quint32 seed, int count, bool sharedPictures = false);

    quint32 seed() const { return m_seed; }
    int count() const { return m_count; }
    bool sharesPictures() const { return m_sharedPictures; }

    // Eight hex digits of the seed followed by twenty-four of the index.
    QString codeAt(int index) const;
    // The index of one of this shop's codes, or -1.
    int indexOf(QStringView code) const;
    QString titleAt(int index) const;
    ShopItem itemAt(int index) const;
    QString pictureUrl(int index, int picture) const;

    // A picture several items show: "/gen/SEED/shared/NAME.jpg".
    QString sharedPictureUrl(const QString &name, int host) const;

    // "/gen/SEED/INDEX/PICTURE.jpg" and "/gen/SEED/shared/NAME.jpg", the only picture paths
    // the generated items use.
    static bool isPicturePath(QStringView path);

private:
    quint64 mix(int index, quint64 salt) const;

    quint32 m_seed;
    int m_count;
    bool m_sharedPictures = false;
};

} // namespace Sandbox
