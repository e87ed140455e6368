// Document builder with key order.
#include "taglink/JSON/Json5ParserHandler.h"

#include "taglink/TaglinkLog.h"

namespace taglink {

void Json5ParserHandler::openContainer(JsonValue container)
{
    JsonValue* placed;
    if (m_level == -1) {
        m_data = std::move(container);
        placed = &*m_data;
    } else if (m_current->isArray()) {
        JsonArray& list = m_current->asArray();
        list.push_back(std::move(container));
        placed = &list.back();
    } else {
        placed = &m_current->asObject().set(m_lastKey, std::move(container));
    }
    // A container is not changed while one of its children is open, so the pointers to
    // the open containers stay valid until they close.
    m_enclosing.push_back(m_current);
    m_current = placed;
    ++m_level;
}

void Json5ParserHandler::addValue(JsonValue value)
{
    if (m_level < 0 || !m_current)
        return;
    if (m_current->isArray())
        m_current->asArray().push_back(std::move(value));
    else
        m_current->asObject().set(m_lastKey, std::move(value));
}

void Json5ParserHandler::parserFoundObjectStart()
{
    openContainer(JsonValue(JsonObject(m_arena.get())));
}

void Json5ParserHandler::parserFoundArrayStart()
{
    openContainer(JsonValue(JsonArray(m_arena.get())));
}

void Json5ParserHandler::parserFoundObjectEnd()
{
    --m_level;
    m_current = m_enclosing.back();
    m_enclosing.pop_back();
}

void Json5ParserHandler::parserFoundArrayEnd()
{
    parserFoundObjectEnd();
}

void Json5ParserHandler::parserFoundObjectKey(std::string_view key)
{
    m_lastKey.assign(key);
    if (m_level == 1)
        m_keysOrder.emplace_back(key);
}

void Json5ParserHandler::parserFoundBoolean(bool value)
{
    addValue(JsonValue(value));
}

void Json5ParserHandler::parserFoundNull()
{
    addValue(JsonValue(nullptr));
}

void Json5ParserHandler::parserFoundNumber(JsonNumber number)
{
    addValue(JsonValue(std::move(number)));
}

void Json5ParserHandler::parserFoundString(std::string_view string)
{
    addValue(JsonValue(string, m_arena.get()));
}

void Json5ParserHandler::parserFoundError(const JsonError& error)
{
    log("json parser found error: " + error.message);
}

} // namespace taglink
