// Builds the document from the reader's events as nested lists and records, and notes
// the keys of every record directly inside the root container in document order (which a
// record alone does not keep when keys repeat).
#pragma once

#include <cstdint>
#include <memory>
#include <memory_resource>
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

    // The root list or record; absent until the first "[" or "{". It lives in the
    // handler's arena: copy what must outlive the handler.
    const std::optional<JsonValue>& data() const { return m_data; }
    const std::pmr::vector<JsonString>& keysOrder() const { return m_keysOrder; }

private:
    void openContainer(JsonValue container);
    void addValue(JsonValue value);

    // Declared first: everything below is built in it and goes before it.
    std::unique_ptr<std::pmr::monotonic_buffer_resource> m_arena =
        std::make_unique<std::pmr::monotonic_buffer_resource>();
    std::optional<JsonValue> m_data;
    std::pmr::vector<JsonString> m_keysOrder{m_arena.get()};
    JsonValue* m_current = nullptr;
    std::vector<JsonValue*> m_enclosing;
    std::int64_t m_level = -1;
    std::string m_lastKey;
};

} // namespace taglink
