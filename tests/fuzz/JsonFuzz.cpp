// libFuzzer target for Taglink's JSON reader (built and run by bench/fuzz-json, not part
// of the test suite). Checks, besides the sanitizers' own findings, that the reader gives
// the same events however the input is split, and that a complete document written back
// as JSON reads as the same document.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "taglink/JSON/Json5ParserHandler.h"
#include "taglink/JSON/JsonStreamParser.h"
#include "taglink/TaglinkLog.h"

namespace {

using namespace taglink;

class Recorder : public JsonStreamParserDelegate
{
public:
    std::vector<std::string> events;
    void parserFoundObjectStart() override { events.emplace_back("{"); }
    void parserFoundObjectKey(std::string_view key) override
    {
        events.push_back("k" + std::string(key));
    }
    void parserFoundObjectEnd() override { events.emplace_back("}"); }
    void parserFoundArrayStart() override { events.emplace_back("["); }
    void parserFoundArrayEnd() override { events.emplace_back("]"); }
    void parserFoundBoolean(bool value) override { events.emplace_back(value ? "t" : "f"); }
    void parserFoundNull() override { events.emplace_back("n"); }
    void parserFoundNumber(JsonNumber number) override
    {
        events.push_back("#" + std::to_string(static_cast<int>(number.kind)) +
                         std::string(number.text));
    }
    void parserFoundString(std::string_view s) override { events.push_back("s" + std::string(s)); }
    void parserFoundError(const JsonError& error) override
    {
        events.push_back("!" + std::to_string(error.code) + error.message);
    }
};

JsonParserStatus parseInTwo(JsonStreamParserDelegate* delegate, std::string_view input,
                            std::size_t split)
{
    JsonStreamParser parser(delegate);
    const JsonParserStatus first = parser.parse(input.substr(0, split));
    if (first == JsonParserStatus::Error)
        return first;
    return parser.parse(input.substr(split));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    taglink::setLogHandler([](std::string_view) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    Recorder whole;
    const JsonParserStatus status = parseInTwo(&whole, input, size);
    const std::size_t split = size == 0 ? 0 : (data[0] * 131u + size * 7u) % (size + 1);
    Recorder parts;
    if (parseInTwo(&parts, input, split) != status || parts.events != whole.events)
        __builtin_trap();

    Json5ParserHandler handler;
    JsonStreamParser parser(&handler);
    if (parser.parse(input) == JsonParserStatus::Complete && handler.data()) {
        const std::string written = handler.data()->toJson();
        Json5ParserHandler again;
        JsonStreamParser reparser(&again);
        if (reparser.parse(written + "\n") != JsonParserStatus::Complete || !again.data() ||
            !(*again.data() == *handler.data()))
            __builtin_trap();
        // Copies leave the arena: they must equal the original and outlive the handler.
        const JsonValue copy = *handler.data();
        if (!(copy == *handler.data()))
            __builtin_trap();
    }
    return 0;
}
