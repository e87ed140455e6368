// JSON tokeniser: token rules, number syntax, string escapes and UTF-8 checks.
#include "taglink/JSON/JsonStreamTokeniser.h"

#include <cstdio>

namespace taglink {

namespace {

std::string format(const char* fmt, unsigned long a)
{
    char buf[128];
    std::snprintf(buf, sizeof buf, fmt, a);
    return buf;
}

bool isDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

bool isContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

int hexValue(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isHighSurrogate(unsigned unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(unsigned unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void appendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Bytes that need a closer look inside a string: the quote, the backslash, control
// characters and every byte of a multi-byte character.
struct StringByteTable
{
    bool special[256];
    constexpr StringByteTable() : special()
    {
        for (int c = 0; c < 256; ++c)
            special[c] = c < 0x20 || c == '"' || c == '\\' || c >= 0x80;
    }
};
constexpr StringByteTable kStringBytes;

} // namespace

const char* jsonTokenName(JsonToken token)
{
    switch (token) {
    case JsonToken::ArrayOpen:
        return "start of array";
    case JsonToken::ArrayClose:
        return "end of array";
    case JsonToken::ValueSeparator:
        return "value separator";
    case JsonToken::ObjectOpen:
        return "start of object";
    case JsonToken::ObjectClose:
        return "end of object";
    case JsonToken::KeyValueSeparator:
        return "key-value separator";
    case JsonToken::True:
    case JsonToken::False:
        return "boolean";
    case JsonToken::Null:
        return "null";
    case JsonToken::Integer:
    case JsonToken::Real:
        return "number";
    case JsonToken::String:
    case JsonToken::EncodedString:
        return "string";
    case JsonToken::None:
    case JsonToken::Error:
        break;
    }
    return "unknown token";
}

void JsonStreamTokeniser::appendData(std::string_view bytes)
{
    m_offset += m_index;
    if (m_index >= m_size) {
        m_buffer.clear();
        m_data = bytes.data();
        m_size = bytes.size();
        m_external = true;
    } else {
        if (m_external)
            m_buffer.assign(m_data + m_index, m_size - m_index);
        else
            m_buffer.erase(0, m_index);
        m_buffer.append(bytes);
        m_data = m_buffer.data();
        m_size = m_buffer.size();
        m_external = false;
    }
    m_index = 0;
}

void JsonStreamTokeniser::keepUnconsumed()
{
    if (!m_external)
        return;
    m_buffer.assign(m_data + m_index, m_size - m_index);
    m_offset += m_index;
    m_index = 0;
    m_data = m_buffer.data();
    m_size = m_buffer.size();
    m_external = false;
}

JsonToken JsonStreamTokeniser::fail(std::string message)
{
    return failAt(m_index, std::move(message));
}

JsonToken JsonStreamTokeniser::failAt(std::size_t position, std::string message)
{
    m_error = message + " at index " + std::to_string(m_offset + position);
    return JsonToken::Error;
}

JsonToken JsonStreamTokeniser::getToken(const char** token, std::size_t* length)
{
    const std::size_t size = m_size;
    const char* bytes = m_data;
    while (m_index < size) {
        const char c = bytes[m_index];
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            break;
        ++m_index;
    }
    if (m_index >= size)
        return JsonToken::None;

    const std::size_t start = m_index;
    const auto c = static_cast<unsigned char>(bytes[start]);
    *token = bytes + start;
    *length = 1;
    JsonToken result;
    switch (c) {
    case '[':
        ++m_index;
        return JsonToken::ArrayOpen;
    case ']':
        ++m_index;
        return JsonToken::ArrayClose;
    case '{':
        ++m_index;
        return JsonToken::ObjectOpen;
    case '}':
        ++m_index;
        return JsonToken::ObjectClose;
    case ',':
        ++m_index;
        return JsonToken::ValueSeparator;
    case ':':
        ++m_index;
        return JsonToken::KeyValueSeparator;
    case '"':
        result = stringToken(token, length);
        break;
    case 't':
        result = literalToken("true", JsonToken::True);
        *length = 4;
        break;
    case 'f':
        result = literalToken("false", JsonToken::False);
        *length = 5;
        break;
    case 'n':
        result = literalToken("null", JsonToken::Null);
        *length = 4;
        break;
    case '+':
        return fail("Leading + is illegal in number");
    default:
        if (c == '-' || isDigit(c)) {
            result = numberToken(token, length);
            break;
        }
        char buf[32];
        std::snprintf(buf, sizeof buf, "Illegal start of token [%c]", static_cast<int>(c));
        return fail(buf);
    }
    if (result == JsonToken::None)
        m_index = start;
    return result;
}

JsonToken JsonStreamTokeniser::literalToken(std::string_view word, JsonToken kind)
{
    if (m_size - m_index < word.size())
        return JsonToken::None;
    if (std::string_view(m_data, m_size).substr(m_index, word.size()) != word) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "Expected '%s' after initial '%.1s'",
                      std::string(word).c_str(), word.data());
        return fail(buf);
    }
    m_index += word.size();
    return kind;
}

JsonToken JsonStreamTokeniser::numberToken(const char** token, std::size_t* length)
{
    const std::size_t start = m_index;
    const std::size_t size = m_size;
    const auto at = [this](std::size_t i) { return static_cast<unsigned char>(m_data[i]); };
    std::size_t i = start;
    if (at(i) == '-') {
        ++i;
        if (i >= size)
            return JsonToken::None;
        if (!isDigit(at(i))) {
            m_index = i;
            return fail("No digits after initial minus");
        }
    }
    if (at(i) == '0') {
        ++i;
        if (i >= size)
            return JsonToken::None;
        if (isDigit(at(i))) {
            m_index = i;
            return fail("Leading zero is illegal in number");
        }
    } else {
        while (i < size && isDigit(at(i)))
            ++i;
        if (i >= size)
            return JsonToken::None;
    }
    bool real = false;
    if (at(i) == '.') {
        real = true;
        ++i;
        const std::size_t digits = i;
        while (i < size && isDigit(at(i)))
            ++i;
        if (i >= size)
            return JsonToken::None;
        if (i == digits) {
            m_index = i;
            return fail("No digits after decimal point");
        }
    }
    if (at(i) == 'e' || at(i) == 'E') {
        real = true;
        ++i;
        if (i >= size)
            return JsonToken::None;
        if (at(i) == '+' || at(i) == '-') {
            ++i;
            if (i >= size)
                return JsonToken::None;
        }
        const std::size_t digits = i;
        while (i < size && isDigit(at(i)))
            ++i;
        if (i >= size)
            return JsonToken::None;
        if (i == digits) {
            m_index = i;
            return fail("No digits in exponent");
        }
    }
    m_index = i;
    *token = m_data + start;
    *length = i - start;
    return real ? JsonToken::Real : JsonToken::Integer;
}

JsonToken JsonStreamTokeniser::stringToken(const char** token, std::size_t* length)
{
    const std::size_t contents = m_index + 1;
    const std::size_t size = m_size;
    const auto* bytes = reinterpret_cast<const unsigned char*>(m_data);
    JsonToken kind = JsonToken::String;
    m_index = contents;
    for (;;) {
        std::size_t i = m_index;
        while (i < size && !kStringBytes.special[bytes[i]])
            ++i;
        m_index = i;
        if (i >= size)
            return JsonToken::None;
        const unsigned char c = bytes[i];
        if (c == '"') {
            *token = m_data + contents;
            *length = i - contents;
            m_index = i + 1;
            return kind;
        }
        JsonToken step;
        if (c == '\\') {
            kind = JsonToken::EncodedString;
            step = escape();
        } else if (c < 0x20) {
            return fail(format("Unescaped control character [0x%02lX] in string", c));
        } else {
            step = utf8Character();
        }
        if (step != JsonToken::String)
            return step;
    }
}

JsonToken JsonStreamTokeniser::escape()
{
    const std::size_t size = m_size;
    const auto at = [this](std::size_t i) { return static_cast<unsigned char>(m_data[i]); };
    std::size_t i = m_index + 1;
    if (i >= size)
        return JsonToken::None;
    const unsigned char c = at(i);
    switch (c) {
    case '"':
    case '\\':
    case '/':
    case 'b':
    case 'f':
    case 'n':
    case 'r':
    case 't':
        m_index = i + 1;
        return JsonToken::String;
    case 'u':
        break;
    default:
        m_index = i;
        return fail(format("Illegal escape character [0x%02lX]", c));
    }
    // Reads the four hex digits starting at `from`; checks each digit as soon as it is
    // there, so that a bad quad is reported the same way however the bytes are split.
    const auto quad = [&](std::size_t from, unsigned& unit) -> JsonToken {
        unit = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            if (from + k >= size)
                return JsonToken::None;
            const int v = hexValue(at(from + k));
            if (v < 0)
                return failAt(from, "Invalid hex quad");
            unit = unit * 16 + static_cast<unsigned>(v);
        }
        return JsonToken::String;
    };
    unsigned high = 0;
    const std::size_t highDigits = i + 1;
    if (const JsonToken t = quad(highDigits, high); t != JsonToken::String)
        return t;
    std::size_t next = highDigits + 4;
    if (isLowSurrogate(high))
        return failAt(highDigits, "Invalid high character in surrogate pair");
    if (isHighSurrogate(high)) {
        if (next >= size)
            return JsonToken::None;
        if (at(next) != '\\')
            return failAt(next, "Missing low character in surrogate pair");
        if (next + 1 >= size)
            return JsonToken::None;
        if (at(next + 1) != 'u')
            return failAt(next, "Missing low character in surrogate pair");
        unsigned low = 0;
        if (const JsonToken t = quad(next + 2, low); t != JsonToken::String)
            return t;
        if (!isLowSurrogate(low))
            return failAt(next + 2, "Invalid low character in surrogate pair");
        next += 6;
    }
    m_index = next;
    return JsonToken::String;
}

JsonToken JsonStreamTokeniser::utf8Character()
{
    const std::size_t size = m_size;
    const auto at = [this](std::size_t i) { return static_cast<unsigned char>(m_data[i]); };
    const std::size_t lead = m_index;
    const unsigned char c = at(lead);
    if (isContinuation(c))
        return fail(format("Unexpected UTF-8 continuation byte [0x%02lX]", c));
    if (c == 0xC0 || c == 0xC1 || c >= 0xF5)
        return fail(format("Illegal UTF-8 byte [0x%02lX]", c));
    std::size_t count;
    std::uint32_t cp;
    if (c < 0xE0) {
        count = 2;
        cp = c & 0x1F;
    } else if (c < 0xF0) {
        count = 3;
        cp = c & 0x0F;
    } else {
        count = 4;
        cp = c & 0x07;
    }
    for (std::size_t k = 1; k < count; ++k) {
        if (lead + k >= size)
            return JsonToken::None;
        const unsigned char b = at(lead + k);
        if (!isContinuation(b))
            return failAt(lead + k, format("Missing UTF-8 continuation byte; found [0x%02lX]", b));
        cp = (cp << 6) | (b & 0x3F);
    }
    char buf[96];
    if (count == 3 && cp < 0x800) {
        std::snprintf(buf, sizeof buf, "Illegal overlong encoding [0x%02X %02X %02X]", c,
                      at(lead + 1), at(lead + 2));
        return fail(buf);
    }
    if (count == 4 && cp < 0x10000) {
        std::snprintf(buf, sizeof buf, "Illegal overlong encoding [0x%02X %02X %02X %02X]", c,
                      at(lead + 1), at(lead + 2), at(lead + 3));
        return fail(buf);
    }
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return fail(format("Illegal Unicode code point [0x%lX]", cp));
    m_index = lead + count;
    return JsonToken::String;
}

void JsonStreamTokeniser::decodeEscapedString(const char* bytes, std::size_t length,
                                              std::string& out)
{
    out.clear();
    out.reserve(length);
    std::size_t i = 0;
    const auto unitAt = [bytes](std::size_t from) {
        unsigned unit = 0;
        for (std::size_t k = 0; k < 4; ++k)
            unit = unit * 16 +
                   static_cast<unsigned>(hexValue(static_cast<unsigned char>(bytes[from + k])));
        return unit;
    };
    while (i < length) {
        const char c = bytes[i];
        if (c != '\\') {
            out += c;
            ++i;
            continue;
        }
        const char e = bytes[i + 1];
        i += 2;
        switch (e) {
        case 'b':
            out += '\b';
            break;
        case 'f':
            out += '\f';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'u': {
            std::uint32_t cp = unitAt(i);
            i += 4;
            if (isHighSurrogate(cp)) {
                const unsigned low = unitAt(i + 2);
                i += 6;
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            }
            appendUtf8(out, cp);
            break;
        }
        default: // '"', '\\', '/'
            out += e;
        }
    }
}

} // namespace taglink
