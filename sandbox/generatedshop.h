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

    GeneratedShop(quint32 seed, int count);

    quint32 seed() const { return m_seed; }
    int count() const { return m_count; }

    // Eight hex digits of the seed followed by twenty-four of the index.
    QString codeAt(int index) const;
    // The index of one of this shop's codes, or -1.
    int indexOf(QStringView code) const;
    QString titleAt(int index) const;
    ShopItem itemAt(int index) const;
    QString pictureUrl(int index, int picture) const;

    // "/gen/SEED/INDEX/PICTURE.jpg", the only picture paths the generated items use.
    static bool isPicturePath(QStringView path);

private:
    quint64 mix(int index, quint64 salt) const;

    quint32 m_seed;
    int m_count;
};

} // namespace Sandbox
