#include <gtest/gtest.h>

#include <QDateTime>
#include <QPoint>

#include "model/PropertyList.h"

using namespace perspix;

namespace {

QDateTime utc(int y, int mo, int d, int h, int mi, int s, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
}

QVariantMap everyKind()
{
    QVariantMap nested;
    nested.insert("inner", QVariantList{QString("a"), qint64(1)});
    QVariantMap m;
    m.insert("string", QString::fromUtf8("Été à Paris \xF0\x9F\x8E\xAC"));
    m.insert("empty", QString(""));
    m.insert("negative", qint64(-7));
    m.insert("min", std::numeric_limits<qint64>::min());
    m.insert("bigUnsigned", std::numeric_limits<quint64>::max());
    m.insert("real", 2.5);
    m.insert("true", true);
    m.insert("false", false);
    m.insert("date", utc(2020, 5, 17, 10, 30, 0));
    m.insert("before2001", utc(1990, 1, 2, 3, 4, 5));
    m.insert("data", QByteArray("\x00\x01\xff", 3));
    m.insert("list", QVariantList{QString("x"), QVariantList{}, nested});
    m.insert("dict", nested);
    return m;
}

} // namespace

TEST(PropertyList, RoundTripsEveryKindInBothFormats)
{
    const QVariantMap tree = everyKind();
    for (const bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary" : "xml");
        QString error;
        const auto bytes =
            binary ? PropertyList::toBinary(tree, &error) : PropertyList::toXml(tree, &error);
        ASSERT_TRUE(bytes) << error.toStdString();
        const auto back = PropertyList::decode(*bytes, &error);
        ASSERT_TRUE(back) << error.toStdString();
        const QVariantMap m = back->toMap();
        ASSERT_EQ(m.keys(), tree.keys());
        for (const QString& key : tree.keys()) {
            SCOPED_TRACE(key.toStdString());
            EXPECT_EQ(m.value(key), tree.value(key));
        }
        EXPECT_EQ(m.value("negative").typeId(), QMetaType::LongLong);
        EXPECT_EQ(m.value("bigUnsigned").typeId(), QMetaType::ULongLong);
        EXPECT_EQ(m.value("date").toDateTime().timeSpec(), Qt::UTC);
    }
}

TEST(PropertyList, BinaryKeepsFractionsOfSecondsAndStringListsBecomeArrays)
{
    const QVariantMap tree{{"when", utc(2023, 8, 9, 1, 2, 3, 250)},
                           {"tags", QStringList{"Red", "Work"}}};
    const auto back = PropertyList::decode(*PropertyList::toBinary(tree));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->toMap().value("when").toDateTime(), utc(2023, 8, 9, 1, 2, 3, 250));
    EXPECT_EQ(back->toMap().value("tags").toList(), (QVariantList{"Red", "Work"}));
}

TEST(PropertyList, OrderedDictionariesKeepTheirKeyOrder)
{
    PlistDict d;
    d.insert("zeta", 1);
    d.insert("alpha", QString("two"));
    d.insert("mid", QVariantList{});
    const auto xml = PropertyList::toXml(QVariant::fromValue(d));
    ASSERT_TRUE(xml);
    EXPECT_LT(xml->indexOf("<key>zeta</key>"), xml->indexOf("<key>alpha</key>"));
    EXPECT_LT(xml->indexOf("<key>alpha</key>"), xml->indexOf("<key>mid</key>"));
    EXPECT_TRUE(xml->startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));

    for (const auto& bytes : {*xml, *PropertyList::toBinary(QVariant::fromValue(d))}) {
        const auto back = PropertyList::decode(bytes, nullptr, PropertyList::DictForm::Ordered);
        ASSERT_TRUE(back);
        ASSERT_EQ(back->typeId(), qMetaTypeId<PlistDict>());
        const PlistDict o = back->value<PlistDict>();
        ASSERT_EQ(o.size(), 3);
        EXPECT_EQ(o.entries[0].first, "zeta");
        EXPECT_EQ(o.entries[1].first, "alpha");
        EXPECT_EQ(o.value("alpha").toString(), "two");
        EXPECT_EQ(o.value("zeta").toLongLong(), 1);
    }
}

// Binary property lists written by another implementation (Python's plistlib), as copying
// tools keep them in extended attributes.
TEST(PropertyList, DecodesForeignBinaryLists)
{
    struct Case
    {
        const char* hex;
        QVariant expected;
    };
    const Case cases[] = {
        {"62706c6973743030a201025f101c68747470733a2f2f6578616d706c652e6f72672f66696c652e6d70"
         "345f101468747470733a2f2f6578616d706c652e6f72672f080b2a000000000000010100000000000000"
         "0300000000000000000000000000000041",
         QVariantList{"https://example.org/file.mp4", "https://example.org/"}},
        {"62706c6973743030a1013341c238a4d4000000080a00000000000001010000000000000002000000000"
         "00000000000000000000013",
         QVariantList{utc(2020, 5, 17, 10, 30, 0)}},
        {"62706c697374303057486f6c696461790800000000000001010000000000000001000000000000000000"
         "00000000000010",
         QString("Holiday")},
    };
    for (const Case& c : cases) {
        const auto v = PropertyList::decode(QByteArray::fromHex(c.hex));
        ASSERT_TRUE(v) << c.hex;
        EXPECT_EQ(*v, c.expected);
    }

    const auto dict = PropertyList::decode(QByteArray::fromHex(
        "62706c6973743030d60102030405060708090a0b0c5162536269675164516e5172517309140000000000"
        "000000ffffffffffffffff42000113fffffffffffffff92340040000000000006300c9007400e908151"
        "71b1d1f2123243538414a0000000000000101000000000000000d0000000000000000000000000000005"
        "1"));
    ASSERT_TRUE(dict);
    const QVariantMap m = dict->toMap();
    EXPECT_EQ(m.value("n"), QVariant::fromValue(qint64(-7)));
    EXPECT_EQ(m.value("big"), QVariant::fromValue(std::numeric_limits<quint64>::max()));
    EXPECT_EQ(m.value("b"), QVariant(true));
    EXPECT_EQ(m.value("r"), QVariant(2.5));
    EXPECT_EQ(m.value("d"), QVariant(QByteArray("\x00\x01", 2)));
    EXPECT_EQ(m.value("s"), QVariant(QString::fromUtf8("Été")));
}

TEST(PropertyList, BadBytesGiveNothingAndAReason)
{
    const QByteArray deep = QByteArray("<plist><array>").repeated(1) +
                            QByteArray("<array>").repeated(PropertyList::kMaxDepth + 10) +
                            QByteArray("</array>").repeated(PropertyList::kMaxDepth + 11) +
                            "</plist>";
    const QByteArray inputs[] = {
        {},
        "just some text",
        "bplist00",
        QByteArray::fromHex("62706c697374303057486f6c6964"), // cut short
        // an array that holds itself
        QByteArray::fromHex("62706c6973743030a10008000000000000010100000000000000010000000000"
                            "000000000000000000000a"),
        "<?xml version=\"1.0\"?><plist><string>never closed",
        deep,
    };
    for (const QByteArray& bytes : inputs) {
        QString error;
        EXPECT_FALSE(PropertyList::decode(bytes, &error)) << bytes.left(40).toStdString();
        EXPECT_FALSE(error.isEmpty()) << bytes.left(40).toStdString();
    }
}

TEST(PropertyList, ValuesThatCannotBeStoredAreRefused)
{
    QVariant deep = QVariantList{};
    for (int i = 0; i < PropertyList::kMaxDepth + 2; ++i)
        deep = QVariantList{deep};
    const QVariant inputs[] = {
        QVariant(),
        QVariant(QPoint(1, 2)),
        QVariant(QString(QStringLiteral("cut") + QChar(0) + QStringLiteral("here"))),
        QVariant(QVariantMap{{QString("a") + QChar(0), 1}}),
        QVariant(utc(2100, 1, 1, 0, 0, 0)),
        QVariant(QDateTime()),
        QVariant(QVariantList{1, QPoint()}),
        deep,
    };
    for (const QVariant& v : inputs) {
        QString error;
        EXPECT_FALSE(PropertyList::toXml(v, &error)) << v.typeName();
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(PropertyList::toBinary(v));
    }
}
