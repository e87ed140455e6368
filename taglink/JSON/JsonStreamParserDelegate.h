// The events of the JSON reader, in document order.
#pragma once

#include <string>
#include <string_view>

#include "taglink/JSON/JsonValue.h"

namespace taglink {

struct JsonError
{
    enum Code { UnexpectedToken = 2, BadToken = 3, TooDeep = 4 };
    int code = 0;
    std::string message;
};

class JsonStreamParserDelegate
{
public:
    virtual ~JsonStreamParserDelegate() = default;

    virtual void parserFoundObjectStart() = 0;
    virtual void parserFoundObjectKey(std::string_view key) = 0;
    virtual void parserFoundObjectEnd() = 0;
    virtual void parserFoundArrayStart() = 0;
    virtual void parserFoundArrayEnd() = 0;
    virtual void parserFoundBoolean(bool value) = 0;
    virtual void parserFoundNull() = 0;
    virtual void parserFoundNumber(JsonNumber number) = 0;
    virtual void parserFoundString(std::string_view string) = 0;
    // The first error only; the parser stays in its error state afterwards.
    virtual void parserFoundError(const JsonError& error) = 0;
    // Asked when a root list or record closes: true reads a further document.
    virtual bool parserShouldSupportManyDocuments() { return false; }
};

} // namespace taglink
