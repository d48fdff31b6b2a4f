#include "core/codepage936.h"
#include "core/text.h"

#include <QCryptographicHash>

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace Core;

class TestText : public QObject
{
    Q_OBJECT

private slots:
    void decodeHtmlEntities_data();
    void decodeHtmlEntities();
    void percentEncodeUtf8_data();
    void percentEncodeUtf8();
    void md5Hex_data();
    void md5Hex();
    void digestBytesIsUtf8WithPlusAsSpace();
    void numeric_data();
    void numeric();
    void cleanField_data();
    void cleanField();
    void cutAfterMarkers_data();
    void cutAfterMarkers();
    void textBetween_data();
    void textBetween();
    void replacedWithin_data();
    void replacedWithin();
    void forwardFinder();
    void ansiRoundTrip();
    void decodeCodePage936_data();
    void decodeCodePage936();
    void encodeCodePage936_data();
    void encodeCodePage936();
    void codePage936WholeTable();
    void fileExists();
    void dateAndTime();
    void programFilePath_data();
    void programFilePath();
    void pathInside_data();
    void pathInside();
    void controlCharacters();
};

void TestText::pathInside_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("inside");
    QTest::newRow("a file in it") << u"/out/goods"_s << u"/out/goods/a.jpg"_s << true;
    QTest::newRow("deeper") << u"/out/goods"_s << u"/out/goods/x/y.jpg"_s << true;
    QTest::newRow("trailing separator") << u"/out/goods/"_s << u"/out/goods/a.jpg"_s << true;
    QTest::newRow("the folder itself") << u"/out/goods"_s << u"/out/goods"_s << false;
    QTest::newRow("climbs out") << u"/out/goods"_s << u"/out/goods/../../tmp/x"_s << false;
    QTest::newRow("climbs out and back") << u"/out/goods"_s << u"/out/goods/../goods/a"_s << true;
    QTest::newRow("Windows separators climb out") << u"/out/goods"_s << u"/out/goods/..\\..\\x"_s << false;
    QTest::newRow("a neighbour sharing the prefix") << u"/out/goods"_s << u"/out/goods2/a.jpg"_s << false;
    QTest::newRow("an absolute path elsewhere") << u"/out/goods"_s << u"/tmp/x"_s << false;
    QTest::newRow("dot segments") << u"/out/./goods"_s << u"/out/goods/./a"_s << true;
    QTest::newRow("empty path") << u"/out/goods"_s << QString() << false;
    QTest::newRow("empty folder") << QString() << u"/out/goods/a"_s << false;
}

void TestText::pathInside()
{
    QFETCH(QString, folder);
    QFETCH(QString, path);
    QFETCH(bool, inside);
    QCOMPARE(isPathInside(folder, path), inside);
}

void TestText::controlCharacters()
{
    QCOMPARE(removeControlCharacters(u"a\u0000b\tc\r\nd\u001Be\u007Ff\u0080g 中"_s), u"abcdef\u0080g 中"_s);
    QCOMPARE(removeControlCharacters(u"plain"_s), u"plain"_s);
    QCOMPARE(removeControlCharacters(QString()), QString());
}

void TestText::decodeHtmlEntities_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("all six") << u"&quot;a&quot; &amp; &lt;b&gt;&nbsp;c&middot;d"_s << u"\"a\" & <b> c.d"_s;
    QTest::newRow("amp before lt decodes twice") << u"&amp;lt;"_s << u"<"_s;
    QTest::newRow("amp before quot stays once") << u"&amp;quot;"_s << u"&quot;"_s;
    QTest::newRow("middot is a full stop") << u"&middot;"_s << u"."_s;
    QTest::newRow("case-sensitive") << u"&AMP;&Lt;"_s << u"&AMP;&Lt;"_s;
    QTest::newRow("numeric references stay") << u"&#39;&#x4e2d;&apos;"_s << u"&#39;&#x4e2d;&apos;"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TestText::decodeHtmlEntities()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(DecodeHtmlEntities(input), expected);
}

void TestText::percentEncodeUtf8_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ascii unchanged") << u"Red cup & a=b+c %20"_s << u"Red cup & a=b+c %20"_s;
    QTest::newRow("three bytes") << u"中"_s << u"%E4%B8%AD"_s;
    QTest::newRow("two bytes") << u"é"_s << u"%C3%A9"_s;
    QTest::newRow("mixed") << u"a中b"_s << u"a%E4%B8%ADb"_s;
    QTest::newRow("highest BMP unit") << QString(QChar(0xFFFF)) << u"%EF%BF%BF"_s;
    // A character outside the basic plane becomes two three-byte groups, one per surrogate.
    QTest::newRow("surrogate pair") << QString::fromUcs4(U"\U0001F600") << u"%ED%A0%BD%ED%B8%80"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TestText::percentEncodeUtf8()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(PercentEncodeUtf8(input), expected);
}

void TestText::md5Hex_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("abc") << u"abc"_s << u"900150983CD24FB0D6963F7D28E17F72"_s;
    QTest::newRow("empty is md5 of no bytes") << QString() << u"D41D8CD98F00B204E9800998ECF8427E"_s;
    QTest::newRow("plus counts as space") << u"a+b"_s << u"0CC9CD4DD26C5137B675A0D819CB9AB0"_s;
    QTest::newRow("space itself") << u"a b"_s << u"0CC9CD4DD26C5137B675A0D819CB9AB0"_s;
    QTest::newRow("chinese as utf-8") << u"中文"_s << u"A7BAC2239FCDCB3A067903D8077C4A07"_s;
}

void TestText::md5Hex()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(Md5Hex(input), expected);
    QCOMPARE(Md5HexLower(input), expected.toLower());
}

void TestText::digestBytesIsUtf8WithPlusAsSpace()
{
    const QString text = u"Tom's 杯子 + é ~"_s;
    QByteArray expected = text.toUtf8();
    expected.replace('+', ' ');
    QCOMPARE(DigestBytes(text), expected);
}

void TestText::numeric_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("expected");
    QTest::newRow("whole") << u"12345"_s << true;
    QTest::newRow("spaces around") << u"  42 "_s << true;
    QTest::newRow("signed") << u"-3"_s << true;
    QTest::newRow("plus sign") << u"+3.5"_s << true;
    QTest::newRow("decimal") << u"0.5"_s << true;
    QTest::newRow("leading point") << u".5"_s << true;
    QTest::newRow("trailing point") << u"5."_s << true;
    QTest::newRow("exponent") << u"1e3"_s << true;
    QTest::newRow("signed exponent") << u"2.5E-2"_s << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("blank") << u"   "_s << false;
    QTest::newRow("point alone") << u"."_s << false;
    QTest::newRow("sign alone") << u"-"_s << false;
    QTest::newRow("two points") << u"1.2.3"_s << false;
    QTest::newRow("thousands separator") << u"1,000"_s << false;
    QTest::newRow("hex") << u"&H10"_s << false;
    QTest::newRow("hex 0x") << u"0x10"_s << false;
    QTest::newRow("exponent without digits") << u"1e"_s << false;
    QTest::newRow("tab is not a space") << u"\t1"_s << false;
    QTest::newRow("text") << u"abc"_s << false;
    QTest::newRow("full-width digits") << u"１２"_s << false;
}

void TestText::numeric()
{
    QFETCH(QString, input);
    QFETCH(bool, expected);
    QCOMPARE(isNumeric(input), expected);
}

void TestText::cleanField_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("trim spaces") << u"  Red cup  "_s << u"Red cup"_s;
    QTest::newRow("removes tab lf cr quotes") << u"a\tb\nc\rd\"e'f"_s << u"abcdef"_s;
    QTest::newRow("blank result is empty") << u"   "_s << QString();
    QTest::newRow("no second trim") << u" \t x \t "_s << u" x "_s;
    QTest::newRow("45 tabs become empty") << QString(45, u'\t') << QString();
}

void TestText::cleanField()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(CleanField(input), expected);
}

void TestText::cutAfterMarkers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("m1");
    QTest::addColumn<QString>("m2");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("expected");
    QTest::newRow("both markers") << u"a[x]b(y)c;d"_s << u"[x]"_s << u"(y)"_s << u";"_s << u"c"_s;
    QTest::newRow("blank first marker") << u"a(y)c;d"_s << u" "_s << u"(y)"_s << u";"_s << u"c"_s;
    QTest::newRow("blank both") << u"abc;d"_s << QString() << QString() << u";"_s << u"abc"_s;
    QTest::newRow("first marker missing") << u"abc;d"_s << u"[x]"_s << QString() << u";"_s << QString();
    QTest::newRow("second marker missing") << u"[x]abc;d"_s << u"[x]"_s << u"(y)"_s << u";"_s << QString();
    QTest::newRow("end missing") << u"[x]abc"_s << u"[x]"_s << QString() << u";"_s << QString();
    QTest::newRow("end blank") << u"[x]abc;"_s << u"[x]"_s << QString() << QString() << QString();
    QTest::newRow("case-sensitive") << u"[X]abc;"_s << u"[x]"_s << QString() << u";"_s << QString();
    QTest::newRow("first occurrences")
        << u"<b>1</b><b>2</b>"_s << u"<b>"_s << QString() << u"</b>"_s << u"1"_s;
}

void TestText::cutAfterMarkers()
{
    QFETCH(QString, text);
    QFETCH(QString, m1);
    QFETCH(QString, m2);
    QFETCH(QString, end);
    QFETCH(QString, expected);
    QCOMPARE(CutAfterMarkers(text, m1, m2, end), expected);
}

void TestText::textBetween_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << u"x<a>mid</a>y"_s << u"<a>"_s << u"</a>"_s << u"mid"_s;
    QTest::newRow("adjacent") << u"<a></a>"_s << u"<a>"_s << u"</a>"_s << QString();
    QTest::newRow("end before start") << u"</a>x<a>y"_s << u"<a>"_s << u"</a>"_s << QString();
    QTest::newRow("start missing") << u"mid</a>"_s << u"<a>"_s << u"</a>"_s << QString();
    QTest::newRow("end missing") << u"<a>mid"_s << u"<a>"_s << u"</a>"_s << QString();
    QTest::newRow("end inside start") << u"ab"_s << u"ab"_s << u"b"_s << QString();
}

void TestText::textBetween()
{
    QFETCH(QString, text);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, expected);
    QCOMPARE(TextBetween(text, start, end), expected);
}

void TestText::replacedWithin_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<QString>("expected"); // null: over the limit
    QTest::newRow("like QString::replace")
        << u"a<b><c>"_s << u"<"_s << u"&lt;"_s << 100 << u"a&lt;b>&lt;c>"_s;
    QTest::newRow("left to right, no overlaps") << u"aaaa"_s << u"aa"_s << u"b"_s << 100 << u"bb"_s;
    QTest::newRow("shrinks") << u"x--y--"_s << u"--"_s << QString() << 2 << u"xy"_s;
    QTest::newRow("none found") << u"abc"_s << u"z"_s << u"zz"_s << 3 << u"abc"_s;
    QTest::newRow("exactly the limit") << u"ab"_s << u"b"_s << u"bbb"_s << 4 << u"abbb"_s;
    QTest::newRow("one over the limit") << u"ab"_s << u"b"_s << u"bbb"_s << 3 << QString();
    // A long replacement of a frequent text would multiply two sizes.
    QTest::newRow("multiplied") << QString(5000, u'x') << u"x"_s << QString(5000, u'y') << 1024 * 1024
                                << QString();
}

void TestText::replacedWithin()
{
    QFETCH(QString, text);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(int, maxLength);
    QFETCH(QString, expected);
    const std::optional<QString> replaced = Core::replacedWithin(text, before, after, maxLength);
    QCOMPARE(replaced.has_value(), !expected.isNull());
    if (replaced)
        QCOMPARE(*replaced, expected);
}

void TestText::forwardFinder()
{
    const QString text = u"ab-ab--ab"_s;
    ForwardFinder finder(text, u"ab"_s);
    QCOMPARE(finder.from(0), 0);
    QCOMPARE(finder.from(0), 0);
    QCOMPARE(finder.from(1), 3);
    QCOMPARE(finder.from(3), 3);
    QCOMPARE(finder.from(4), 7);
    QCOMPARE(finder.from(8), -1);
    QCOMPARE(finder.from(9), -1);
    QCOMPARE(finder.size(), 2);
}

void TestText::ansiRoundTrip()
{
    const QString text = u"红色杯子 Red cup，价格￥12"_s;
    const QByteArray bytes = encodeAnsi(text);
    QCOMPARE(bytes.left(4), QByteArray("\xba\xec\xc9\xab"));
    QCOMPARE(decodeAnsi(bytes), text);
    // Characters the code page lacks become "?"; the rest of the text stays.
    QCOMPARE(encodeAnsi(u"a😀b"_s), QByteArray("a?b"));
    // One character the code page lacks costs only itself, however many follow it.
    QCOMPARE(encodeAnsi(u"中한中한中"_s), QByteArray("\xd6\xd0?\xd6\xd0?\xd6\xd0"));
    QCOMPARE(DecodeCharset("\xe4\xb8\xad", "utf-8"), u"中"_s);
    QCOMPARE(DecodeCharset("abc", "no-such-charset"), QString());
}

// Both builds read and write the code page the same way: Linux through ICU, Windows through
// the system's tables. The rows are the places where converters are known to differ.
void TestText::decodeCodePage936_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("two-byte characters") << QByteArray("\xd6\xd0\xce\xc4") << u"中文"_s;
    QTest::newRow("ideographic space") << QByteArray("\xa1\xa1") << u"\u3000"_s;
    QTest::newRow("euro sign") << QByteArray("a\x80"
                                             "b")
                               << u"a€b"_s;
    QTest::newRow("0xFF") << QByteArray("a\xff"
                                        "b")
                          << u"a\uf8f5b"_s;
    QTest::newRow("trail byte below 0x80") << QByteArray("\xd6"
                                                         "a")
                                           << u"\u8b05"_s;
    QTest::newRow("trail byte 0x80") << QByteArray("\x81\x80") << u"\u4e90"_s;
    QTest::newRow("user-defined area") << QByteArray("\xaa\xa1\xfe\xfe\xa1\x40") << u"\ue000\ue4c5\ue4c6"_s;
    QTest::newRow("lead byte before 0x7F") << QByteArray("\xa1\x7f") << u"\ufffd\u007f"_s;
    QTest::newRow("lead byte before a digit") << QByteArray("\x81\x30") << u"\ufffd0"_s;
    QTest::newRow("lead byte before a line end") << QByteArray("\x81\n") << u"\ufffd\n"_s;
    QTest::newRow("lead byte before 0xFF") << QByteArray("\x81\xff") << u"\ufffd\uf8f5"_s;
    QTest::newRow("lead byte at the end") << QByteArray("a\xd6") << u"a"_s;
    QTest::newRow("NUL stays") << QByteArray("a\0b", 3) << QString(u"a\0b"_s);
}

void TestText::decodeCodePage936()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(CodePage936::decode(bytes), text);
    QCOMPARE(decodeAnsi(bytes), text);
    QCOMPARE(DecodeCharset(bytes, "GBK"), text);
}

void TestText::encodeCodePage936_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("two-byte characters") << u"中文 ab"_s << QByteArray("\xd6\xd0\xce\xc4 ab");
    QTest::newRow("euro sign") << u"€"_s << QByteArray("\x80");
    QTest::newRow("U+F8F5") << u"\uf8f5"_s << QByteArray("\xff");
    QTest::newRow("user-defined area") << u"\ue000"_s << QByteArray("\xaa\xa1");
    QTest::newRow("middle dot") << u"\u00b7"_s << QByteArray("\xa1\xa4");
    QTest::newRow("hangul") << u"中한"_s << QByteArray("\xd6\xd0?");
    QTest::newRow("yen sign, no best fit") << u"\u00a5"_s << QByteArray("?");
    QTest::newRow("U+0080") << u"\u0080"_s << QByteArray("?");
    QTest::newRow("replacement character") << u"\ufffd"_s << QByteArray("?");
    QTest::newRow("outside the plane") << u"a😀b"_s << QByteArray("a?b");
    QTest::newRow("lone high surrogate") << QString(u"a"_s + QChar(0xd800) + u"b"_s) << QByteArray("a?b");
    QTest::newRow("lone low surrogate") << QString(u"a"_s + QChar(0xdc00)) << QByteArray("a?");
    QTest::newRow("lacking character between") << u"中한中한中"_s << QByteArray("\xd6\xd0?\xd6\xd0?\xd6\xd0");
}

void TestText::encodeCodePage936()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(CodePage936::encode(text), bytes);
    QCOMPARE(encodeAnsi(text), bytes);
}

// Every single byte and every lead byte with every second byte, decoded one by one; every
// character of the plane encoded one by one. The digests are those of the Linux build.
void TestText::codePage936WholeTable()
{
    QString decoded;
    for (int lead = 0; lead < 256; ++lead) {
        const bool twoBytes = lead >= 0x81 && lead <= 0xFE;
        for (int trail = twoBytes ? 0 : 256; trail <= 256; ++trail) {
            QByteArray bytes(1, char(lead));
            if (trail < 256)
                bytes.append(char(trail));
            decoded += CodePage936::decode(bytes) + QChar(0x0001);
        }
    }
    QByteArray encoded;
    for (int unit = 0x80; unit <= 0xFFFF; ++unit) {
        if (!QChar::isSurrogate(char32_t(unit)))
            encoded += CodePage936::encode(QString(QChar(unit))) + '\x01';
    }
    const QByteArrayView decodedBytes(reinterpret_cast<const char *>(decoded.utf16()), decoded.size() * 2);
    QCOMPARE(QCryptographicHash::hash(decodedBytes, QCryptographicHash::Md5).toHex(),
             QByteArray("7dc401c5af2e08c53757581325ea2a6d"));
    QCOMPARE(QCryptographicHash::hash(encoded, QCryptographicHash::Md5).toHex(),
             QByteArray("b7f8b446c4ffc080329e08abc0459dfc"));
}

void TestText::fileExists()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"a.txt"_s);
    QVERIFY(!FileExists(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(FileExists(path));
    QVERIFY(!FileExists(dir.path()));
    QVERIFY(!FileExists(QString()));
}

void TestText::dateAndTime()
{
    QCOMPARE(FormatDateYmd(QDate(2009, 3, 7)), u"2009-03-07"_s);
    QCOMPARE(FormatTimeHms(QTime(7, 5, 9)), u"07:05:09"_s);
    QCOMPARE(FormatTimeHms(QTime(23, 59, 0)), u"23:59:00"_s);
}

void TestText::programFilePath_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected");
    QTest::newRow("folder") << u"/opt/quorvex"_s << u"/opt/quorvex/re.txt"_s;
    QTest::newRow("drive root") << u"C:\\"_s << u"C:\\re.txt"_s;
    QTest::newRow("unix root") << u"/"_s << u"/re.txt"_s;
    QTest::newRow("short folder still gets a separator") << u"/ab"_s << u"/ab/re.txt"_s;
}

void TestText::programFilePath()
{
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    QCOMPARE(Core::programFilePath(folder, u"re.txt"_s), expected);
}

QTEST_GUILESS_MAIN(TestText)
#include "tst_text.moc"
