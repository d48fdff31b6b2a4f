#include "layouts.h"

#include "core/text.h"

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace Export {

QStringList taobao4Header()
{
    return {u"宝贝名称"_s,
            u"宝贝类目"_s,
            u"店铺类目"_s,
            u"新旧程度"_s,
            u"省"_s,
            u"城市"_s,
            u"出售方式"_s,
            u"宝贝价格"_s,
            u"加价幅度"_s,
            u"宝贝数量"_s,
            u"有效期"_s,
            u"运费承担"_s,
            u"平邮"_s,
            u"EMS"_s,
            u"快递"_s,
            u"付款方式"_s,
            u"支付宝"_s,
            u"发票"_s,
            u"保修"_s,
            u"闪电发货"_s,
            u"自动重发"_s,
            u"放入仓库"_s,
            u"橱窗推荐"_s,
            u"开始时间"_s,
            u"心情故事"_s,
            u"宝贝描述"_s,
            u"宝贝图片"_s,
            u"宝贝属性"_s,
            u"团购价"_s,
            u"最小团购件数"_s,
            u"邮费模版ID"_s,
            u"会员打折"_s,
            u"修改时间"_s,
            u"上传状态"_s,
            u"图片状态"_s,
            u"返点比例"_s,
            u"新图片"_s,
            u"视频"_s,
            u"销售属性组合"_s,
            u"用户输入ID串"_s,
            u"用户输入名-值对"_s,
            u"商家编码"_s,
            u"销售属性别名"_s,
            u"代充类型"_s,
            u"宝贝编号"_s,
            u"数字ID"_s};
}

QStringList taobao5FieldNames()
{
    return {u"title"_s,
            u"cid"_s,
            u"seller_cids"_s,
            u"stuff_status"_s,
            u"location_state"_s,
            u"location_city"_s,
            u"item_type"_s,
            u"price"_s,
            u"auction_increment"_s,
            u"num"_s,
            u"valid_thru"_s,
            u"freight_payer"_s,
            u"post_fee"_s,
            u"ems_fee"_s,
            u"express_fee"_s,
            u"has_invoice"_s,
            u"has_warranty"_s,
            u"approve_status"_s,
            u"has_showcase"_s,
            u"list_time"_s,
            u"description"_s,
            u"cateProps"_s,
            u"postage_id"_s,
            u"has_discount"_s,
            u"modified"_s,
            u"upload_fail_msg"_s,
            u"picture_status"_s,
            u"auction_point"_s,
            u"picture"_s,
            u"video"_s,
            u"skuProps"_s,
            u"inputPids"_s,
            u"inputValues"_s,
            u"outer_id"_s,
            u"propAlias"_s,
            u"auto_fill"_s,
            u"num_id"_s,
            u"local_cid"_s,
            u"navigation_type"_s,
            u"user_name"_s,
            u"syncStatus"_s,
            u"is_lighting_consigment"_s,
            u"is_xinpin"_s,
            u"foodparame"_s,
            u"features"_s,
            u"global_stock_type"_s,
            u"sub_stock_type"_s,
            u"item_size"_s,
            u"item_weight"_s};
}

QStringList taobao5Header()
{
    return {u"宝贝名称"_s,     u"宝贝类目"_s,     u"店铺类目"_s,
            u"新旧程度"_s,     u"省"_s,           u"城市"_s,
            u"出售方式"_s,     u"宝贝价格"_s,     u"加价幅度"_s,
            u"宝贝数量"_s,     u"有效期"_s,       u"运费承担"_s,
            u"平邮"_s,         u"EMS"_s,          u"快递"_s,
            u"发票"_s,         u"保修"_s,         u"放入仓库"_s,
            u"橱窗推荐"_s,     u"开始时间"_s,     u"宝贝描述"_s,
            u"宝贝属性"_s,     u"邮费模版ID"_s,   u"会员打折"_s,
            u"修改时间"_s,     u"上传状态"_s,     u"图片状态"_s,
            u"返点比例"_s,     u"新图片"_s,       u"视频"_s,
            u"销售属性组合"_s, u"用户输入ID串"_s, u"用户输入名-值对"_s,
            u"商家编码"_s,     u"销售属性别名"_s, u"代充类型"_s,
            u"数字ID"_s,       u"本地ID"_s,       u"宝贝分类"_s,
            u"账户名称"_s,     u"宝贝状态"_s,     u"闪电发货"_s,
            u"新品"_s,         u"食品专项"_s,     u"尺码库"_s,
            u"库存类型"_s,     u"库存计数"_s,     u"物流体积"_s,
            u"物流重量"_s};
}

QStringList paipaiHeader()
{
    return {u"id"_s,
            u"商品名称"_s,
            u"出售方式"_s,
            u"商品类目"_s,
            u"店铺类目"_s,
            u"商品数量"_s,
            u"商品重量"_s,
            u"有效期"_s,
            u"定时上架"_s,
            u"新旧程度"_s,
            u"价格"_s,
            u"加价幅度"_s,
            u"省"_s,
            u"市"_s,
            u"运费承担"_s,
            u"平邮"_s,
            u"快递"_s,
            u"EMS"_s,
            u"购买限制"_s,
            u"付款方式"_s,
            u"有发票"_s,
            u"有保修"_s,
            u"支持财付通"_s,
            u"自动重发"_s,
            u"错误原因"_s,
            u"图片"_s,
            u"图片2"_s,
            u"图片3"_s,
            u"图片4"_s,
            u"图片5"_s,
            u"商品详情"_s,
            u"上架选项"_s,
            u"皮肤风格"_s,
            u"属性"_s,
            u"诚保"_s,
            u"假一陪三"_s,
            u"橱窗"_s,
            u"库存属性"_s,
            u"产品ID"_s,
            u"商家编码"_s,
            u"尺码对照表"_s,
            u"版本"_s,
            u"货到付款运费模板"_s,
            u"快速发货"_s,
            u"7天免邮包退"_s};
}

QString headerText(OutputType type)
{
    switch (type) {
    case OutputType::Taobao4:
        return taobao4Header().join(u'\t');
    case OutputType::Taobao5:
        return u"version 1.00\n"_s + taobao5FieldNames().join(u'\t') + u'\n' + taobao5Header().join(u'\t') +
               u'\n';
    case OutputType::Paipai:
        return paipaiHeader().join(u'\t');
    }
    return {};
}

QString commaQuoted(const QString &value)
{
    return value.contains(u',') ? u'"' + value + u'"' : value;
}

QString pictureList(const QStringList &pictureUrls, QChar kindDigit)
{
    QString list;
    for (qsizetype i = 0; i < pictureUrls.size(); ++i)
        list +=
            Core::Md5HexLower(pictureUrls.at(i)) + u':' + kindDigit + u':' + QString::number(i) + u":|;"_s;
    return list;
}

QString freightPayer(const QString &sellerPayFreight)
{
    const QString value = Core::CleanField(sellerPayFreight);
    if (!Core::isNumeric(value))
        return u"1"_s;
    // A whole number as the runtime converts it: halves go to the even neighbour.
    const double whole = std::nearbyint(Core::trimSpaces(value).toDouble());
    return whole > 10 ? u"1"_s : u"2"_s;
}

QString taobaoRow(OutputType type, const QStringList &v, const TaobaoExtras &extras)
{
    using namespace PaipaiColumn;
    const QString freight = freightPayer(v.at(Freight));
    QStringList values;
    if (type == OutputType::Taobao4) {
        values = {v.at(Title),
                  {},
                  {},
                  u"0"_s,
                  v.at(Province),
                  v.at(City),
                  u"b"_s,
                  v.at(Price),
                  u"0"_s,
                  v.at(Quantity),
                  u"7"_s,
                  freight,
                  u"10"_s,
                  v.at(EmsFee),
                  v.at(ExpressFee),
                  {},
                  {},
                  v.at(Invoice),
                  v.at(Warranty),
                  u"0"_s,
                  u"1"_s,
                  u"0"_s,
                  u"0"_s,
                  extras.dateTime,
                  {},
                  extras.description,
                  {},
                  {},
                  {},
                  {},
                  {},
                  u"0"_s,
                  extras.dateTime,
                  u"0"_s,
                  {},
                  u"0"_s,
                  pictureList(extras.pictureUrls, u'0'),
                  {},
                  {},
                  {},
                  {},
                  v.at(OuterCode),
                  {},
                  u"0"_s,
                  {},
                  {}};
        QString row = u"\r"_s;
        for (const QString &value : std::as_const(values))
            row += commaQuoted(value) + u'\t';
        return row;
    }

    const QString seller =
        extras.sellerName.contains(u"输入"_s) ? QString() : Core::CleanField(extras.sellerName);
    QString description = extras.description;
    description.replace(u'"', u"\"\""_s);
    description = u'"' + description + u'"';
    values = {v.at(Title),
              {},
              {},
              u"0"_s,
              v.at(Province),
              v.at(City),
              u"b"_s,
              v.at(Price),
              u"0"_s,
              v.at(Quantity),
              u"7"_s,
              freight,
              u"10"_s,
              v.at(EmsFee),
              v.at(ExpressFee),
              v.at(Invoice),
              v.at(Warranty),
              u"1"_s,
              u"0"_s,
              extras.dateTime,
              description,
              {},
              {},
              u"0"_s,
              extras.dateTime,
              u"0"_s,
              {},
              u"0"_s,
              pictureList(extras.pictureUrls, u'1'),
              {},
              {},
              {},
              {},
              v.at(OuterCode),
              {},
              u"0"_s,
              u"0"_s,
              u"0"_s,
              u"2"_s,
              seller,
              u"1"_s,
              u"0"_s,
              u"0"_s,
              {},
              u"mysize_tp:-1"_s,
              u"172577644"_s,
              {},
              {},
              {}};
    QString row;
    for (qsizetype i = 0; i < values.size(); ++i) {
        // The description is quoted once, whatever it holds.
        row += (i == 20 ? values.at(i) : commaQuoted(values.at(i)));
        row += (i + 1 < values.size() ? u'\t' : u'\n');
    }
    return row;
}

QString paipaiRow(const QStringList &paipaiValues)
{
    QString row = u"\n"_s;
    for (const QString &value : paipaiValues)
        row += u'"' + value + u"\"\t"_s;
    return row;
}

} // namespace Export
