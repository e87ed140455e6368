#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

#include "export/ExportTestSupport.h"
#include "export/JsonWriter.h"
#include "model/PropertyList.h"

using namespace perspix;
using perspix::test::runPython;

namespace {

QString write(const QVariant& value, bool humanReadable = false, bool sortKeys = false)
{
    JsonWriter writer;
    writer.setHumanReadable(humanReadable);
    writer.setSortKeys(sortKeys);
    return writer.stringWithObject(value).value_or(QStringLiteral("<nothing>"));
}

QStringList errors(const JsonWriter& writer)
{
    QStringList out;
    for (const JsonError& e : writer.errorTrace())
        out.append(e.message);
    return out;
}

// A type that offers itself to JSON as a record.
struct Point
{
    int x = 0, y = 0;
};

} // namespace

Q_DECLARE_METATYPE(Point)

TEST(JsonWriter, Layout)
{
    PlistDict record;
    record.insert("b", 1);
    record.insert("a", QVariantList{true, QVariant::fromValue(nullptr), QVariantMap{}});
    record.insert("c", QVariantList{});
    const QVariant value = QVariant::fromValue(record);

    EXPECT_EQ(write(value), R"({"b":1,"a":[true,null,{}],"c":[]})");
    EXPECT_EQ(write(value, false, true), R"({"a":[true,null,{}],"b":1,"c":[]})");
    EXPECT_EQ(write(value, true), "{\n"
                                  "  \"b\" : 1,\n"
                                  "  \"a\" : [\n"
                                  "    true,\n"
                                  "    null,\n"
                                  "    {}\n"
                                  "  ],\n"
                                  "  \"c\" : []\n"
                                  "}");
    EXPECT_EQ(write(QVariantMap{}, true), "{}");
    EXPECT_EQ(write(QVariantList{}, true), "[]");
    EXPECT_EQ(write(QStringList{"x", "y"}), R"(["x","y"])");
}

TEST(JsonWriter, Strings)
{
    const std::pair<QString, QString> cases[] = {
        {"plain", R"("plain")"},
        {"a/b", R"("a/b")"},
        {"tab\there", R"("tab\there")"},
        {"q\"b\\", R"("q\"b\\")"},
        {QString("\b\f\n\r") + QChar(0) + QChar(0x1f), R"("\b\f\n\r\u0000\u001f")"},
        {QString::fromUtf8("caf\xc3\xa9 \xf0\x9f\x98\x80"),
         QString::fromUtf8("\"caf\xc3\xa9 \xf0\x9f\x98\x80\"")},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(write(QVariantList{input}), "[" + expected + "]") << input.toStdString();
}

// Numbers are written in the shortest text that a standard JSON reader turns back into the
// same value; every output parses.
TEST(JsonWriter, NumbersReadBackExactly)
{
    const QVariantList numbers = {0.1,
                                  1.0 / 3,
                                  100000.0,
                                  1e20,
                                  1e-7,
                                  -2.5e-300,
                                  std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::denorm_min(),
                                  123456789012345680.0,
                                  QVariant::fromValue(0.1f),
                                  std::numeric_limits<qint64>::min(),
                                  std::numeric_limits<quint64>::max(),
                                  -7,
                                  false};
    const QString text = write(numbers);
    EXPECT_EQ(text.section(',', 0, 0), "[0.1");
    EXPECT_TRUE(text.contains(",100000,"));
    const auto python = runPython(QStringLiteral(R"(
import sys, json, struct
for x in json.load(sys.stdin):
    print(repr(x), struct.pack('>d', float(x)).hex())
)"),
                                  text.toUtf8());
    if (!python)
        GTEST_SKIP() << "python3 not installed";
    ASSERT_EQ(python->exitCode, 0) << python->err.constData();
    const QStringList lines = QString::fromUtf8(python->out).trimmed().split('\n');
    ASSERT_EQ(lines.size(), numbers.size());
    for (int i = 0; i < numbers.size(); ++i) {
        const QVariant& n = numbers[i];
        const QStringList parsed = lines[i].split(' '); // Python's repr, then its double
        QString expected;
        if (n.typeId() == QMetaType::Double || n.typeId() == QMetaType::Float) {
            const double d = n.typeId() == QMetaType::Float ? double(n.toFloat()) : n.toDouble();
            quint64 bits;
            std::memcpy(&bits, &d, sizeof bits);
            expected = QString::asprintf("%016llx", static_cast<unsigned long long>(bits));
            if (n.typeId() == QMetaType::Float) {
                // Python reads floats as doubles: compare at single precision.
                EXPECT_EQ(text.section(',', 9, 9), "0.1");
                continue;
            }
        } else if (n.typeId() == QMetaType::Bool) {
            expected = "False";
        } else {
            expected = n.typeId() == QMetaType::ULongLong ? QString::number(n.toULongLong())
                                                          : QString::number(n.toLongLong());
        }
        const bool isDouble = n.typeId() == QMetaType::Double;
        EXPECT_EQ(parsed.value(isDouble ? 1 : 0), expected) << "element " << i;
    }
}

TEST(JsonWriter, Errors)
{
    struct Case
    {
        QVariant value;
        QStringList errors;
    };
    const Case cases[] = {
        {"a string alone", {"Not valid type for JSON"}},
        {42, {"Not valid type for JSON"}},
        {QVariantList{std::nan("")}, {"NaN is not a valid number in JSON"}},
        {QVariantList{-std::numeric_limits<double>::infinity()},
         {"Infinity is not a valid number in JSON"}},
        {QVariantMap{{"when", QByteArray("bytes")}},
         {"JSON serialisation not supported for QByteArray",
          "Unsupported value for key when in object"}},
        {QVariantMap{{"outer", QVariantMap{{"inner", std::nan("")}}}},
         {"NaN is not a valid number in JSON", "Unsupported value for key inner in object",
          "Unsupported value for key outer in object"}},
    };
    for (const Case& c : cases) {
        JsonWriter writer;
        EXPECT_FALSE(writer.stringWithObject(c.value).has_value());
        EXPECT_EQ(errors(writer), c.errors);
        // Each error carries the one before it.
        for (qsizetype i = 1; i < writer.errorTrace().size(); ++i) {
            ASSERT_TRUE(writer.errorTrace()[i].underlying);
            EXPECT_EQ(writer.errorTrace()[i].underlying->message, c.errors[i - 1]);
        }
    }

    // A successful call clears the errors of the previous one.
    JsonWriter writer;
    EXPECT_FALSE(writer.stringWithObject(1).has_value());
    EXPECT_EQ(writer.stringWithObject(QVariantList{1}), "[1]");
    EXPECT_TRUE(writer.errorTrace().isEmpty());
}

TEST(JsonWriter, MaxDepth)
{
    QVariant nested = QVariantList{};
    for (int i = 0; i < 4; ++i)
        nested = QVariantList{nested}; // five levels
    JsonWriter writer;
    writer.setMaxDepth(5);
    EXPECT_EQ(writer.stringWithObject(nested), "[[[[[]]]]]");
    writer.setMaxDepth(4);
    EXPECT_FALSE(writer.stringWithObject(nested).has_value());
    EXPECT_EQ(errors(writer), QStringList{"Nested too deep"});

    // The default limit stops a very deep value without exhausting the stack.
    QVariant deep = QVariantList{};
    for (int i = 0; i < 600; ++i)
        deep = QVariantList{deep};
    JsonWriter defaults;
    EXPECT_EQ(defaults.maxDepth(), 512u);
    EXPECT_FALSE(defaults.stringWithObject(deep).has_value());
}

TEST(JsonWriter, ProxyObjects)
{
    QMetaType::registerConverter<Point, QVariantMap>([](const Point& p) {
        return QVariantMap{{"x", p.x}, {"y", p.y}};
    });
    const QVariant point = QVariant::fromValue(Point{3, -4});
    EXPECT_EQ(write(point), R"({"x":3,"y":-4})");
    EXPECT_EQ(write(QVariantList{point}), R"([{"x":3,"y":-4}])");
}
