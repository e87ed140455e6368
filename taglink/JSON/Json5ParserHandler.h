// Builds the document from the reader's events as nested lists and records, and notes
// the keys of every record directly inside the root container in document order (which a
// record alone does not keep when keys repeat).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "taglink/JSON/JsonStreamParserDelegate.h"

namespace taglink {

class Json5ParserHandler : public JsonStreamParserDelegate
{
public:
    void parserFoundObjectStart() override;
    void parserFoundObjectKey(std::string_view key) override;
    void parserFoundObjectEnd() override;
    void parserFoundArrayStart() override;
    void parserFoundArrayEnd() override;
    void parserFoundBoolean(bool value) override;
    void parserFoundNull() override;
    void parserFoundNumber(JsonNumber number) override;
    void parserFoundString(std::string_view string) override;
    void parserFoundError(const JsonError& error) override;

    // The root list or record; absent until the first "[" or "{".
    const std::optional<JsonValue>& data() const { return m_data; }
    std::optional<JsonValue>& data() { return m_data; }
    const std::vector<std::string>& keysOrder() const { return m_keysOrder; }
    std::vector<std::string>& keysOrder() { return m_keysOrder; }

private:
    void openContainer(JsonValue container);
    void addValue(JsonValue value);

    std::optional<JsonValue> m_data;
    std::vector<std::string> m_keysOrder;
    JsonValue* m_current = nullptr;
    std::vector<JsonValue*> m_enclosing;
    std::int64_t m_level = -1;
    std::string m_lastKey;
};

} // namespace taglink
