#include "generatedshop.h"

#include <QRegularExpression>

#include <array>

using namespace Qt::Literals::StringLiterals;

namespace Sandbox {

namespace {

struct Product
{
    const char16_t *name;
    int classId;
    int categoryId;
};

constexpr std::array<const char16_t *, 8> Openers = {
    u"2013新款", u"春季新品", u"夏季热卖", u"秋冬新款", u"年末清仓", u"包邮", u"特价", u"正品",
};
constexpr std::array<const char16_t *, 8> Styles = {
    u"韩版", u"欧美风", u"日系", u"复古", u"简约", u"时尚", u"潮流", u"淑女",
};
constexpr std::array<const char16_t *, 8> Qualities = {
    u"修身", u"宽松", u"加厚", u"纯棉", u"真皮", u"百搭", u"显瘦", u"休闲",
};
constexpr std::array<Product, 12> Products = {{
    {u"连衣裙", 2001, 50010850},
    {u"牛仔裤", 2001, 162205},
    {u"羊毛衫", 2001, 50000697},
    {u"双肩包", 2004, 121396},
    {u"运动鞋", 2003, 50012038},
    {u"羽绒服", 2001, 50008899},
    {u"衬衫", 2002, 50000436},
    {u"手提包", 2004, 50012010},
    {u"T恤", 2002, 50000671},
    {u"棉拖鞋", 2003, 50012042},
    {u"围巾", 2005, 50007003},
    {u"手表", 2006, 50005700},
}};
constexpr std::array<const char16_t *, 6> Closers = {
    u"送运费险", u"满百包邮", u"假一赔十", u"七天退换", u"限时折扣", u"买二送一",
};
constexpr std::array<const char16_t *, 5> Colours = {u"黑色", u"白色", u"酒红", u"藏青", u"卡其"};
constexpr std::array<const char16_t *, 4> Sizes = {u"S", u"M", u"L", u"XL"};

// Province and city ids that exist in js/cities.js, so generated items resolve like sample ones.
constexpr std::array<std::pair<int, int>, 8> Places = {{
    {0, 103},
    {8, 802},
    {10, 1001},
    {18, 1801},
    {9, 902},
    {12, 1202},
    {14, 1402},
    {22, 2201},
}};

template <typename Array> auto pick(const Array &array, quint64 value)
{
    return array[value % array.size()];
}

QString text(const char16_t *word)
{
    return QString::fromUtf16(word);
}

} // namespace

GeneratedShop::GeneratedShop(quint32 seed, int count, bool sharedPictures)
    : m_seed(seed), m_count(count), m_sharedPictures(sharedPictures)
{
}

quint64 GeneratedShop::mix(int index, quint64 salt) const
{
    // splitmix64: cheap, and neighbouring indices come out unrelated.
    quint64 z = (quint64(m_seed) << 32) ^ quint64(quint32(index)) ^ (salt * 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

QString GeneratedShop::codeAt(int index) const
{
    return QString::number(m_seed, 16).toUpper().rightJustified(8, u'0') +
           QString::number(quint64(index), 16).toUpper().rightJustified(24, u'0');
}

int GeneratedShop::indexOf(QStringView code) const
{
    if (!ShopItem::isItemCode(code) || code.first(8) != codeAt(0).first(8))
        return -1;
    // The leading digits of the index part must be zero for any count this shop can have.
    const QStringView indexPart = code.sliced(8);
    for (qsizetype i = 0; i < indexPart.size() - 8; ++i) {
        if (indexPart[i] != u'0')
            return -1;
    }
    bool ok = false;
    const qulonglong index = indexPart.sliced(16).toULongLong(&ok, 16);
    if (!ok || index >= qulonglong(m_count))
        return -1;
    return int(index);
}

QString GeneratedShop::titleAt(int index) const
{
    const quint64 h = mix(index, 1);
    const Product product = pick(Products, h >> 12);
    return text(pick(Openers, h)) + u' ' + text(pick(Styles, h >> 4)) + text(pick(Qualities, h >> 8)) +
           text(product.name) + u' ' + text(pick(Closers, h >> 16)) + u" 款号Q"_s +
           QString::number(10000 + index);
}

QString GeneratedShop::pictureUrl(int index, int picture) const
{
    const int host = (index + picture) % 4;
    return u"http://img"_s + QString::number(host) + u".paipaiimg.com/gen/"_s + QString::number(m_seed) +
           u'/' + QString::number(index) + u'/' + QString::number(picture) + u".jpg"_s;
}

QString GeneratedShop::sharedPictureUrl(const QString &name, int host) const
{
    return u"http://img"_s + QString::number(host % 4) + u".paipaiimg.com/gen/"_s + QString::number(m_seed) +
           u"/shared/"_s + name + u".jpg"_s;
}

ShopItem GeneratedShop::itemAt(int index) const
{
    const quint64 h = mix(index, 2);
    const Product product = pick(Products, mix(index, 1) >> 12);
    const auto [province, city] = pick(Places, h >> 40);

    ShopItem item;
    item.setCode(codeAt(index));
    item.setValue(u"itemName"_s, titleAt(index));
    item.setValue(u"stateDesc"_s, index % 7 == 6 ? u"拍卖"_s : u"一口价"_s);
    item.setValue(u"classId"_s, QString::number(product.classId));
    item.setValue(u"categoryId"_s, QString::number(product.categoryId));
    item.setValue(u"stockCount"_s, QString::number(1 + h % 500));
    item.setValue(u"weight"_s, QString::number(100 + (h >> 9) % 2900));
    // Shop prices end in 0 or 9 fen more often than not.
    item.setValue(u"itemPrice"_s, QString::number(990 + ((h >> 20) % 4000) * 10 + ((h >> 32) % 2) * 9));
    item.setValue(u"sellerPayFreight"_s, index % 3 == 0 ? u"10"_s : u"11"_s);
    item.setValue(u"expressPrice"_s, QString::number(500 + (h >> 36) % 3 * 500));
    item.setValue(u"emsPrice"_s, QString::number(2000 + (h >> 38) % 2 * 500));
    item.setValue(u"invoiceItem"_s, QString::number((h >> 44) % 2));
    item.setValue(u"guaranteeRepair"_s, QString::number((h >> 45) % 2));
    item.setValue(u"itemLocalCode"_s, u"G"_s + QString::number(m_seed) + u'-' + QString::number(index));
    item.setValue(u"attr"_s,
                  u"颜色:"_s + text(pick(Colours, h >> 46)) + u"|尺码:"_s + text(pick(Sizes, h >> 50)));
    item.setValue(u"provinceId"_s, QString::number(province));
    item.setValue(u"cityId"_s, QString::number(city));

    QStringList pictures;
    for (int k = 0; k < MainPictures; ++k)
        pictures.append(pictureUrl(index, k));
    if (m_sharedPictures)
        pictures.last() = sharedPictureUrl(u"colours"_s + QString::number(index / 4), index / 4);
    item.setPictures(pictures);

    const auto picture = [](const QString &url) -> QString {
        return u"<p align=\"center\"><img src=\""_s + url + u"\" /></p>\n"_s;
    };
    QString description = u"<p style=\"text-align:center\"><strong>"_s + item.title().toHtmlEscaped() +
                          u"</strong></p>\n<p>本店所有宝贝均为实物拍摄，颜色以实物为准。</p>\n"_s;
    if (m_sharedPictures) {
        // The shop's header and size chart, the item's own two pictures, then the shipping
        // notice (its address carries the item's number, which the picture host ignores) and
        // the brand picture.
        description += picture(sharedPictureUrl(u"header"_s, 0)) + picture(sharedPictureUrl(u"sizes"_s, 1));
        for (int k = MainPictures; k < MainPictures + 2; ++k)
            description += picture(pictureUrl(index, k));
        description += picture(sharedPictureUrl(u"shipping"_s, 2) + u"?item="_s + QString::number(index)) +
                       picture(sharedPictureUrl(u"brand"_s, 3));
    } else {
        for (int k = MainPictures; k < PicturesPerItem; ++k) {
            description += picture(pictureUrl(index, k));
            if (k == MainPictures + 2)
                description += u"<p>尺码表：S / M / L / XL，详询客服。</p>\n"_s;
        }
    }
    item.setDescription(description);

    item.addExtra(u"sellerUin"_s, QString::number(100000 + m_seed % 900000));
    item.addExtra(u"sellerName"_s, u"小鱼的衣橱"_s);
    item.addExtra(u"createTime"_s, u"2013-09-"_s + QString::number(10 + index % 20) + u" 10:2"_s +
                                       QString::number(index % 10) + u":00"_s);
    item.addExtendInfo(u"visitCount"_s, QString::number((h >> 52) % 5000));
    item.addExtendInfo(u"favoriteCount"_s, QString::number((h >> 56) % 200));
    return item;
}

bool GeneratedShop::isPicturePath(QStringView path)
{
    static const QRegularExpression pattern(
        u"^/gen/\\d{1,10}/(\\d{1,10}/\\d{1,3}|shared/(header|sizes|shipping|brand|colours\\d{1,10}))\\.jpg$"_s);
    return pattern.match(path).hasMatch();
}

} // namespace Sandbox
