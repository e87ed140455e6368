// The JSON reader on its own: events, errors with their positions, number typing, split
// input, and the document builder's key order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/Log.h"
#include "taglink/JSON/Json5ParserHandler.h"
#include "taglink/JSON/JsonStreamParser.h"

using namespace taglink;

namespace {

// Writes every event as one line of text, so that event streams compare as strings.
class Recorder : public JsonStreamParserDelegate
{
public:
    std::vector<std::string> events;
    bool manyDocuments = false;
    JsonStreamParser* stopOnArrayStart = nullptr;

    void parserFoundObjectStart() override { events.push_back("{"); }
    void parserFoundObjectKey(std::string_view key) override
    {
        events.push_back("key:" + std::string(key));
    }
    void parserFoundObjectEnd() override { events.push_back("}"); }
    void parserFoundArrayStart() override
    {
        events.push_back("[");
        if (stopOnArrayStart)
            stopOnArrayStart->stop();
    }
    void parserFoundArrayEnd() override { events.push_back("]"); }
    void parserFoundBoolean(bool value) override { events.push_back(value ? "true" : "false"); }
    void parserFoundNull() override { events.push_back("null"); }
    void parserFoundNumber(JsonNumber n) override
    {
        const char* kind = n.kind == JsonNumber::Kind::Signed     ? "i"
                           : n.kind == JsonNumber::Kind::Unsigned ? "u"
                                                                  : "d";
        events.push_back(std::string("num:") + kind + ":" + std::string(n.text));
    }
    void parserFoundString(std::string_view s) override
    {
        events.push_back("str:" + std::string(s));
    }
    void parserFoundError(const JsonError& e) override
    {
        events.push_back("error:" + std::to_string(e.code) + ":" + e.message);
    }
    bool parserShouldSupportManyDocuments() override { return manyDocuments; }
};

std::vector<std::string> strings(const std::pmr::vector<JsonString>& list)
{
    return {list.begin(), list.end()};
}

std::string lastError(const std::vector<std::string>& events)
{
    return events.empty() ? std::string() : events.back();
}

JsonNumber numberOf(const std::string& json)
{
    Json5ParserHandler handler;
    JsonStreamParser parser(&handler);
    EXPECT_EQ(parser.parse("[" + json + "]"), JsonParserStatus::Complete) << json;
    return handler.data()->asArray().at(0).asNumber();
}

} // namespace

TEST(JsonStreamParser, ErrorMessagesNameTheTokenTheStateAndThePosition)
{
    struct Case
    {
        std::string input;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"[1,]", "error:2:Token 'end of array' not expected as array value"},
        {"[01]", "error:3:Leading zero is illegal in number at index 2"},
        {"[-01]", "error:3:Leading zero is illegal in number at index 3"},
        {"[] {", "error:2:Token 'start of object' not expected after complete json"},
        {"[+1]", "error:3:Leading + is illegal in number at index 1"},
        {"[x]", "error:3:Illegal start of token [x] at index 1"},
        {"[tru ]", "error:3:Expected 'true' after initial 't' at index 1"},
        {"[nul1]", "error:3:Expected 'null' after initial 'n' at index 1"},
        {"[-a]", "error:3:No digits after initial minus at index 2"},
        {"[1.]", "error:3:No digits after decimal point at index 3"},
        {"[1e]", "error:3:No digits in exponent at index 3"},
        {"[1E+]", "error:3:No digits in exponent at index 4"},
        {"[\"a\x01\"]", "error:3:Unescaped control character [0x01] in string at index 3"},
        {"[\"\\x\"]", "error:3:Illegal escape character [0x78] at index 3"},
        {"[\"\\u12G4\"]", "error:3:Invalid hex quad at index 4"},
        {"[\"\\uD800x\"]", "error:3:Missing low character in surrogate pair at index 8"},
        {"[\"\\uD800\\n\"]", "error:3:Missing low character in surrogate pair at index 8"},
        {"[\"\\uD800\\u0041\"]", "error:3:Invalid low character in surrogate pair at index 10"},
        {"[\"\\uDC00\"]", "error:3:Invalid high character in surrogate pair at index 4"},
        {"[\"\x80\"]", "error:3:Unexpected UTF-8 continuation byte [0x80] at index 2"},
        {"[\"\xC0\x80\"]", "error:3:Illegal UTF-8 byte [0xC0] at index 2"},
        {"[\"\xFF\"]", "error:3:Illegal UTF-8 byte [0xFF] at index 2"},
        {"[\"\xC3(\"]", "error:3:Missing UTF-8 continuation byte; found [0x28] at index 3"},
        {"[\"\xE0\x80\x80\"]", "error:3:Illegal overlong encoding [0xE0 80 80] at index 2"},
        {"[\"\xF0\x80\x80\x80\"]", "error:3:Illegal overlong encoding [0xF0 80 80 80] at index 2"},
        {"[\"\xF4\x90\x80\x80\"]", "error:3:Illegal Unicode code point [0x110000] at index 2"},
        {"[\"\xED\xA0\x80\"]", "error:3:Illegal Unicode code point [0xD800] at index 2"},
        {"{\"a\" 1}", "error:2:Token 'number' not expected after object key"},
        {"{1:2}", "error:2:Token 'number' not expected at beginning of object"},
        {"{\"a\":1,}", "error:2:Token 'end of object' not expected in place of object key"},
        {"{\"a\":}", "error:2:Token 'end of object' not expected as object value"},
        {"{\"a\":1 \"b\"", "error:2:Token 'string' not expected after object value"},
        {"[1 2]", "error:2:Token 'number' not expected after array value"},
        {"[:", "error:2:Token 'key-value separator' not expected at array start"},
        {",", "error:2:Token 'value separator' not expected <aaiie!>"},
        {"]", "error:2:Token 'end of array' not expected <aaiie!>"},
    };
    for (const Case& c : cases) {
        Recorder recorder;
        JsonStreamParser parser(&recorder);
        EXPECT_EQ(parser.parse(c.input), JsonParserStatus::Error) << c.input;
        EXPECT_EQ(lastError(recorder.events), c.error) << c.input;
        // The error is reported once; the parser stays in error.
        EXPECT_EQ(parser.parse("[]"), JsonParserStatus::Error);
        EXPECT_EQ(std::count_if(recorder.events.begin(), recorder.events.end(),
                                [](const std::string& e) { return e.rfind("error:", 0) == 0; }),
                  1)
            << c.input;
    }
}

TEST(JsonStreamParser, ErrorPositionCountsBytesOfEarlierCalls)
{
    Recorder recorder;
    JsonStreamParser parser(&recorder);
    EXPECT_EQ(parser.parse("[1, "), JsonParserStatus::WaitingForData);
    EXPECT_EQ(parser.parse("01]"), JsonParserStatus::Error);
    EXPECT_EQ(lastError(recorder.events), "error:3:Leading zero is illegal in number at index 5");
}

TEST(JsonStreamParser, AnySplitOfTheInputGivesTheSameEvents)
{
    const std::vector<std::string> documents = {
        R"([{"SourceFile":"a.mp4","Q:T:V::Duration":{"desc":"Duration","num":2.02321995464853,"val":"2.02 s"}}])",
        "[\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\", \"\\u00e9\\ud83d\\ude00\\n\\\"\", "
        "-12.5e-3, 0, "
        "18446744073709551615, true, false, null, {\"k\": [1, {\"x\": []}]}]",
        "[123456789012345678901, -0, 1E5]  ",
        "[\"\\uD800\\u0041\"]",
        "[\"\xE0\x80\x80\"]",
        "[1, 01]",
    };
    for (const std::string& doc : documents) {
        Recorder whole;
        JsonStreamParser wholeParser(&whole);
        const JsonParserStatus wholeStatus = wholeParser.parse(doc);
        for (std::size_t split = 0; split <= doc.size(); ++split) {
            Recorder parts;
            JsonStreamParser parser(&parts);
            JsonParserStatus status = parser.parse(doc.substr(0, split));
            if (status != JsonParserStatus::Error)
                status = parser.parse(doc.substr(split));
            EXPECT_EQ(status, wholeStatus) << doc << " split at " << split;
            EXPECT_EQ(parts.events, whole.events) << doc << " split at " << split;
        }
        // Byte by byte as well.
        Recorder bytes;
        JsonStreamParser parser(&bytes);
        JsonParserStatus status = JsonParserStatus::WaitingForData;
        for (char c : doc)
            status = parser.parse(std::string(1, c));
        EXPECT_EQ(status, wholeStatus) << doc;
        EXPECT_EQ(bytes.events, whole.events) << doc;
    }
}

TEST(JsonStreamParser, NumbersAreTypedByForm)
{
    const auto u = numberOf("18446744073709551615");
    EXPECT_EQ(u.kind, JsonNumber::Kind::Unsigned);
    EXPECT_EQ(u.u, UINT64_MAX);
    const auto i = numberOf("-9223372036854775808");
    EXPECT_EQ(i.kind, JsonNumber::Kind::Signed);
    EXPECT_EQ(i.i, INT64_MIN);
    // Twenty bytes still convert as integers, saturating at the type's limits.
    const auto bigU = numberOf("99999999999999999999");
    EXPECT_EQ(bigU.kind, JsonNumber::Kind::Unsigned);
    EXPECT_EQ(bigU.u, UINT64_MAX);
    const auto bigI = numberOf("-9223372036854775809");
    EXPECT_EQ(bigI.kind, JsonNumber::Kind::Signed);
    EXPECT_EQ(bigI.i, INT64_MIN);
    // Twenty-one digits: a double.
    const auto d21 = numberOf("123456789012345678901");
    EXPECT_EQ(d21.kind, JsonNumber::Kind::Real);
    EXPECT_DOUBLE_EQ(d21.d, 123456789012345678901.0);
    const auto real = numberOf("1.10");
    EXPECT_EQ(real.kind, JsonNumber::Kind::Real);
    EXPECT_DOUBLE_EQ(real.d, 1.1);
    EXPECT_EQ(real.text, "1.10");
    EXPECT_DOUBLE_EQ(numberOf("-2.5E+2").d, -250.0);
    EXPECT_EQ(numberOf("-0").kind, JsonNumber::Kind::Signed);
    EXPECT_TRUE(std::isinf(numberOf("1e400").d));
    EXPECT_EQ(numberOf("1e-400").d, 0.0);
}

TEST(JsonStreamParser, StatusTellsCompleteWaitingAndStopped)
{
    struct Case
    {
        std::string input;
        JsonParserStatus status;
    };
    const std::vector<Case> cases = {
        {"", JsonParserStatus::WaitingForData},
        {"  \n", JsonParserStatus::WaitingForData},
        {"[1, 2", JsonParserStatus::WaitingForData},
        {"[\"abc", JsonParserStatus::WaitingForData},
        {"[tr", JsonParserStatus::WaitingForData},
        {"[] \r\n\t", JsonParserStatus::Complete},
        {"{}", JsonParserStatus::Complete},
        // A scalar document is complete once a byte follows the number.
        {"12 ", JsonParserStatus::Complete},
        {"12", JsonParserStatus::WaitingForData},
        {"\"s\"", JsonParserStatus::Complete},
        {"[] []", JsonParserStatus::Error},
    };
    for (const Case& c : cases) {
        Recorder recorder;
        JsonStreamParser parser(&recorder);
        EXPECT_EQ(parser.parse(c.input), c.status) << c.input;
    }

    Recorder many;
    many.manyDocuments = true;
    JsonStreamParser manyParser(&many);
    EXPECT_EQ(manyParser.parse("[1] {\"a\":2} [3]"), JsonParserStatus::WaitingForData);
    EXPECT_EQ(many.events, (std::vector<std::string>{"[", "num:u:1", "]", "{", "key:a", "num:u:2",
                                                     "}", "[", "num:u:3", "]"}));

    Recorder stopping;
    JsonStreamParser stopped(&stopping);
    stopping.stopOnArrayStart = &stopped;
    EXPECT_EQ(stopped.parse("[1, 2]"), JsonParserStatus::Stopped);
    EXPECT_EQ(stopping.events, std::vector<std::string>{"["});
    EXPECT_EQ(stopped.parse("[3]"), JsonParserStatus::Stopped);
    EXPECT_EQ(stopping.events.size(), 1u);
}

TEST(JsonStreamParser, EscapesAreDecoded)
{
    Recorder recorder;
    JsonStreamParser parser(&recorder);
    ASSERT_EQ(parser.parse(R"(["a\"\\\/\b\f\n\r\t\u00E9\ud83d\ude00\u0000z"])"),
              JsonParserStatus::Complete);
    EXPECT_EQ(recorder.events.at(1),
              std::string("str:a\"\\/\b\f\n\r\t\xC3\xA9\xF0\x9F\x98\x80") + '\0' + "z");
}

TEST(JsonStreamParser, NestingHasALimitButNoRecursion)
{
    const std::size_t limit = JsonStreamParser::kMaxDepth;
    Json5ParserHandler deepEnough;
    JsonStreamParser ok(&deepEnough);
    EXPECT_EQ(ok.parse(std::string(limit, '[') + std::string(limit, ']')),
              JsonParserStatus::Complete);

    perspix::LogCapture log;
    Json5ParserHandler tooDeep;
    JsonStreamParser parser(&tooDeep);
    EXPECT_EQ(parser.parse(std::string(limit + 1, '[')), JsonParserStatus::Error);
    EXPECT_TRUE(log.contains(QStringLiteral("json parser found error: Nesting deeper than")));
}

TEST(Json5ParserHandler, KeysOrderKeepsRepeatsAndOnlyDepthOne)
{
    Json5ParserHandler handler;
    JsonStreamParser parser(&handler);
    ASSERT_EQ(parser.parse(R"([{"b":1,"a":2,"b":3}])"), JsonParserStatus::Complete);
    EXPECT_EQ(strings(handler.keysOrder()), (std::vector<std::string>{"b", "a", "b"}));
    const JsonObject& record = handler.data()->asArray().at(0).asObject();
    EXPECT_EQ(record.size(), 2u);
    EXPECT_EQ(record.find("a")->asNumber().u, 2u);
    EXPECT_EQ(record.find("b")->asNumber().u, 3u);

    // A root record's own keys are at depth 0; the keys of records inside it are noted.
    Json5ParserHandler rootRecord;
    JsonStreamParser rootParser(&rootRecord);
    ASSERT_EQ(rootParser.parse(R"({"x":{"k1":1,"k2":{"deep":1}},"y":[{"z":1}]})"),
              JsonParserStatus::Complete);
    EXPECT_EQ(strings(rootRecord.keysOrder()), (std::vector<std::string>{"k1", "k2"}));
}

TEST(Json5ParserHandler, BuildsNestedValuesInPlace)
{
    Json5ParserHandler handler;
    JsonStreamParser parser(&handler);
    ASSERT_EQ(parser.parse(R"([{"a":[1,[2,"t"],{"m":null}],"b":"c","d":true}, 7])"),
              JsonParserStatus::Complete);
    const JsonArray& root = handler.data()->asArray();
    ASSERT_EQ(root.size(), 2u);
    const JsonObject& record = root[0].asObject();
    // After the list closes the builder is back in the record: "b" and "d" land there.
    EXPECT_EQ(record.find("b")->asString(), "c");
    EXPECT_TRUE(record.find("d")->asBool());
    EXPECT_EQ(record.find("a")->toJson(), R"([1,[2,"t"],{"m":null}])");
    EXPECT_EQ(root[1].asNumber().u, 7u);

    // A scalar document builds nothing.
    Json5ParserHandler scalar;
    JsonStreamParser scalarParser(&scalar);
    EXPECT_EQ(scalarParser.parse("\"x\" "), JsonParserStatus::Complete);
    EXPECT_FALSE(scalar.data().has_value());
}

TEST(Json5ParserHandler, LargeRecordsKeepOrderAndReplaceRepeats)
{
    std::string json = "[{";
    for (int k = 0; k < 200; ++k)
        json += "\"k" + std::to_string(k) + "\":" + std::to_string(k) + ",";
    json += "\"k5\":\"again\"}]";
    Json5ParserHandler handler;
    JsonStreamParser parser(&handler);
    ASSERT_EQ(parser.parse(json), JsonParserStatus::Complete);
    const JsonObject& record = handler.data()->asArray().at(0).asObject();
    EXPECT_EQ(record.size(), 200u);
    EXPECT_EQ(record.members()[5].key, "k5");
    EXPECT_EQ(record.find("k5")->asString(), "again");
    EXPECT_EQ(record.find("k199")->asNumber().u, 199u);
    EXPECT_EQ(handler.keysOrder().size(), 201u);
}

TEST(Json5ParserHandler, CopiesOutliveTheHandler)
{
    JsonValue copy;
    {
        Json5ParserHandler handler;
        JsonStreamParser parser(&handler);
        ASSERT_EQ(
            parser.parse(R"([{"a long key that is not inline":"a long value that is not inline",
                                    "n":1.25,"l":["x","a long list element, not inline"]}])"),
            JsonParserStatus::Complete);
        copy = *handler.data();
    }
    const JsonObject& record = copy.asArray().at(0).asObject();
    EXPECT_EQ(record.find("a long key that is not inline")->asString(),
              "a long value that is not inline");
    EXPECT_EQ(record.find("n")->asNumber().text, "1.25");
    EXPECT_EQ(record.find("l")->toJson(), R"(["x","a long list element, not inline"])");
}
