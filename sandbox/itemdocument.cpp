#include "itemdocument.h"

#include "gbkcodec.h"

using namespace Qt::Literals::StringLiterals;

namespace Sandbox {

namespace {

const QString Declaration = u"<?xml version=\"1.0\" encoding=\"GBK\"?>\n"_s;

void appendElement(QString &xml, const QString &name, const QString &text)
{
    xml += u'<' + name + u'>' + text.toHtmlEscaped() + u"</"_s + name + u">\n"_s;
}

QString pictureElementName(qsizetype index)
{
    return index == 0 ? u"picLink"_s : u"picLink"_s + QString::number(index);
}

} // namespace

QByteArray ItemDocument::render(const ShopItem &item)
{
    QString xml = Declaration + u"<itemInfo>\n"_s;
    appendElement(xml, u"errorCode"_s, u"0"_s);
    appendElement(xml, u"errorMessage"_s, QString());
    appendElement(xml, u"itemCode"_s, item.code());
    for (const QString &element : ShopItem::leadingElements())
        appendElement(xml, element, item.value(element));

    // The service escapes the description's markup and then wraps it in CDATA as well;
    // escaping first also keeps any "]]>" in a description from ending the section.
    xml += u"<detailInfo><![CDATA["_s + item.description().toHtmlEscaped() + u"]]></detailInfo>\n"_s;

    const QStringList pictures = item.pictures();
    for (qsizetype i = 0; i < pictures.size(); ++i)
        appendElement(xml, pictureElementName(i), pictures.at(i));
    appendElement(xml, u"provinceId"_s, item.value(u"provinceId"_s));
    appendElement(xml, u"cityId"_s, item.value(u"cityId"_s));

    for (const auto &[name, text] : item.extras())
        appendElement(xml, name, text);
    const ShopItem::Pairs extendInfo = item.extendInfo();
    if (!extendInfo.isEmpty()) {
        xml += u"<extendInfo>\n"_s;
        for (const auto &[name, text] : extendInfo)
            appendElement(xml, name, text);
        xml += u"</extendInfo>\n"_s;
    }
    xml += u"</itemInfo>\n"_s;
    return GbkCodec::encode(xml);
}

QByteArray ItemDocument::renderError(int errorCode, const QString &message)
{
    QString xml = Declaration + u"<itemInfo>\n"_s;
    appendElement(xml, u"errorCode"_s, QString::number(errorCode));
    appendElement(xml, u"errorMessage"_s, message);
    xml += u"</itemInfo>\n"_s;
    return GbkCodec::encode(xml);
}

QByteArray ItemDocument::renderPage(const ShopItem &item)
{
    const QString title = item.title().toHtmlEscaped();
    QString html = u"<!DOCTYPE html>\n<html><head><meta http-equiv=\"Content-Type\" "
                   u"content=\"text/html; charset=gbk\">\n<title>"_s +
                   title + u" - 拍拍网</title></head>\n<body>\n<h1>"_s + title + u"</h1>\n"_s;
    for (const QString &url : item.pictures()) {
        if (!url.isEmpty())
            html += u"<img src=\""_s + url.toHtmlEscaped() + u"\" />\n"_s;
    }
    html += u"<div class=\"desc\">"_s + item.description() + u"</div>\n</body></html>\n"_s;
    return GbkCodec::encode(html);
}

} // namespace Sandbox
