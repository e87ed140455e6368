// JSON grammar states, number typing and the event calls.
#include "taglink/JSON/JsonStreamParser.h"

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace taglink {

namespace {

bool isValueStart(JsonToken token)
{
    switch (token) {
    case JsonToken::ArrayOpen:
    case JsonToken::ObjectOpen:
    case JsonToken::True:
    case JsonToken::False:
    case JsonToken::Null:
    case JsonToken::Integer:
    case JsonToken::Real:
    case JsonToken::String:
    case JsonToken::EncodedString:
        return true;
    default:
        return false;
    }
}

bool isString(JsonToken token)
{
    return token == JsonToken::String || token == JsonToken::EncodedString;
}

// strtod in the "C" locale: the program's locale may use a decimal comma.
double cLocaleStrtod(const char* text)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return strtod_l(text, nullptr, cLocale);
}

} // namespace

JsonStreamParser::JsonStreamParser(JsonStreamParserDelegate* delegate) : m_delegate(delegate)
{
    m_stack.reserve(32);
}

const char* JsonStreamParser::stateName(State state)
{
    switch (state) {
    case State::Start:
        return "<aaiie!>";
    case State::Complete:
        return "after complete json";
    case State::Error:
        return "in error";
    case State::ObjectStart:
        return "at beginning of object";
    case State::ObjectGotKey:
        return "after object key";
    case State::ObjectSeparator:
        return "as object value";
    case State::ObjectGotValue:
        return "after object value";
    case State::ObjectNeedKey:
        return "in place of object key";
    case State::ArrayStart:
        return "at array start";
    case State::ArrayGotValue:
        return "after array value";
    case State::ArrayNeedValue:
        return "as array value";
    }
    return "";
}

bool JsonStreamParser::accepts(JsonToken token) const
{
    switch (m_state) {
    case State::Start:
    case State::ObjectSeparator:
    case State::ArrayNeedValue:
        return isValueStart(token);
    case State::ArrayStart:
        return isValueStart(token) || token == JsonToken::ArrayClose;
    case State::ObjectStart:
        return isString(token) || token == JsonToken::ObjectClose;
    case State::ObjectNeedKey:
        return isString(token);
    case State::ObjectGotKey:
        return token == JsonToken::KeyValueSeparator;
    case State::ObjectGotValue:
        return token == JsonToken::ValueSeparator || token == JsonToken::ObjectClose;
    case State::ArrayGotValue:
        return token == JsonToken::ValueSeparator || token == JsonToken::ArrayClose;
    case State::Complete:
    case State::Error:
        break;
    }
    return false;
}

void JsonStreamParser::valueDone(bool containerClosed)
{
    switch (m_state) {
    case State::Start:
        m_state = containerClosed && m_delegate->parserShouldSupportManyDocuments()
                      ? State::Start
                      : State::Complete;
        break;
    case State::ObjectSeparator:
        m_state = State::ObjectGotValue;
        break;
    case State::ArrayStart:
    case State::ArrayNeedValue:
        m_state = State::ArrayGotValue;
        break;
    default:
        break;
    }
}

JsonParserStatus JsonStreamParser::failWith(int code, std::string message)
{
    m_state = State::Error;
    m_delegate->parserFoundError(JsonError{code, std::move(message)});
    return JsonParserStatus::Error;
}

void JsonStreamParser::handleNumber(JsonToken token, const char* bytes, std::size_t length)
{
    JsonNumber number;
    number.text.assign(bytes, length);
    const char* end = bytes + length;
    if (token == JsonToken::Integer && length <= 20) {
        if (bytes[0] == '-') {
            number.kind = JsonNumber::Kind::Signed;
            const auto r = std::from_chars(bytes, end, number.i);
            if (r.ec == std::errc::result_out_of_range)
                number.i = INT64_MIN; // saturates like strtoll
        } else {
            number.kind = JsonNumber::Kind::Unsigned;
            const auto r = std::from_chars(bytes, end, number.u);
            if (r.ec == std::errc::result_out_of_range)
                number.u = UINT64_MAX; // saturates like strtoull
        }
    } else {
        number.kind = JsonNumber::Kind::Real;
        const auto r = std::from_chars(bytes, end, number.d);
        if (r.ec != std::errc())
            number.d =
                cLocaleStrtod(number.text.c_str()); // overflow and underflow as strtod gives them
    }
    m_delegate->parserFoundNumber(std::move(number));
}

JsonParserStatus JsonStreamParser::parse(std::string_view bytes)
{
    m_tokeniser.appendData(bytes);
    const JsonParserStatus status = m_stopped ? JsonParserStatus::Stopped : parseTokens();
    // The caller's bytes are read in place; what a later call continues must be kept.
    m_tokeniser.keepUnconsumed();
    return status;
}

JsonParserStatus JsonStreamParser::parseTokens()
{
    for (;;) {
        if (m_state == State::Error)
            return JsonParserStatus::Error;
        const char* token = nullptr;
        std::size_t length = 0;
        const JsonToken kind = m_tokeniser.getToken(&token, &length);
        if (kind == JsonToken::Error)
            return failWith(JsonError::BadToken, m_tokeniser.error());
        if (kind == JsonToken::None) {
            if (m_state == State::Complete)
                return JsonParserStatus::Complete;
            return JsonParserStatus::WaitingForData;
        }
        if (!accepts(kind)) {
            return failWith(JsonError::UnexpectedToken, std::string("Token '") +
                                                            jsonTokenName(kind) +
                                                            "' not expected " + stateName(m_state));
        }
        switch (kind) {
        case JsonToken::ArrayOpen:
        case JsonToken::ObjectOpen:
            if (m_stack.size() >= kMaxDepth) {
                return failWith(JsonError::TooDeep,
                                "Nesting deeper than " + std::to_string(kMaxDepth) +
                                    " levels at index " +
                                    std::to_string(m_tokeniser.offset() + m_tokeniser.index() - 1));
            }
            if (kind == JsonToken::ArrayOpen)
                m_delegate->parserFoundArrayStart();
            else
                m_delegate->parserFoundObjectStart();
            m_stack.push_back(m_state);
            m_state = kind == JsonToken::ArrayOpen ? State::ArrayStart : State::ObjectStart;
            break;
        case JsonToken::ArrayClose:
        case JsonToken::ObjectClose:
            m_state = m_stack.back();
            m_stack.pop_back();
            valueDone(true);
            if (kind == JsonToken::ArrayClose)
                m_delegate->parserFoundArrayEnd();
            else
                m_delegate->parserFoundObjectEnd();
            break;
        case JsonToken::ValueSeparator:
            m_state =
                m_state == State::ArrayGotValue ? State::ArrayNeedValue : State::ObjectNeedKey;
            break;
        case JsonToken::KeyValueSeparator:
            m_state = State::ObjectSeparator;
            break;
        case JsonToken::True:
        case JsonToken::False:
            m_delegate->parserFoundBoolean(kind == JsonToken::True);
            valueDone(false);
            break;
        case JsonToken::Null:
            m_delegate->parserFoundNull();
            valueDone(false);
            break;
        case JsonToken::Integer:
        case JsonToken::Real:
            handleNumber(kind, token, length);
            valueDone(false);
            break;
        case JsonToken::String:
        case JsonToken::EncodedString: {
            std::string_view text(token, length);
            if (kind == JsonToken::EncodedString) {
                JsonStreamTokeniser::decodeEscapedString(token, length, m_scratch);
                text = m_scratch;
            }
            if (m_state == State::ObjectStart || m_state == State::ObjectNeedKey) {
                m_delegate->parserFoundObjectKey(text);
                m_state = State::ObjectGotKey;
            } else {
                m_delegate->parserFoundString(text);
                valueDone(false);
            }
            break;
        }
        case JsonToken::None:
        case JsonToken::Error:
            break;
        }
        if (m_stopped)
            return JsonParserStatus::Stopped;
    }
}

} // namespace taglink
