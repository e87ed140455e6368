// Document model of the JSON reader.
#include "taglink/JSON/JsonValue.h"

#include <cstdio>

namespace taglink {

namespace {
// Records up to this size are searched linearly; larger ones get a hash index.
constexpr std::size_t kLinearSearchLimit = 12;

void appendEscaped(std::string& out, const std::string& s)
{
    out += '"';
    for (const char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
                out += buf;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void appendJson(std::string& out, const JsonValue& v)
{
    if (v.isNull()) {
        out += "null";
    } else if (v.isBool()) {
        out += v.asBool() ? "true" : "false";
    } else if (v.isNumber()) {
        out += v.asNumber().text;
    } else if (v.isString()) {
        appendEscaped(out, v.asString());
    } else if (v.isArray()) {
        out += '[';
        bool first = true;
        for (const JsonValue& e : v.asArray()) {
            if (!first)
                out += ',';
            first = false;
            appendJson(out, e);
        }
        out += ']';
    } else {
        out += '{';
        bool first = true;
        for (const JsonMember& m : v.asObject().members()) {
            if (!first)
                out += ',';
            first = false;
            appendEscaped(out, m.key);
            out += ':';
            appendJson(out, m.value);
        }
        out += '}';
    }
}
} // namespace

double JsonNumber::toDouble() const
{
    switch (kind) {
    case Kind::Signed:
        return static_cast<double>(i);
    case Kind::Unsigned:
        return static_cast<double>(u);
    case Kind::Real:
        break;
    }
    return d;
}

bool JsonNumber::operator==(const JsonNumber& other) const
{
    if (kind != other.kind)
        return false;
    switch (kind) {
    case Kind::Signed:
        return i == other.i;
    case Kind::Unsigned:
        return u == other.u;
    case Kind::Real:
        break;
    }
    return d == other.d;
}

JsonObject::JsonObject() = default;
JsonObject::JsonObject(const JsonObject& other) : m_members(other.m_members) {}
JsonObject::JsonObject(JsonObject&& other) noexcept = default;
JsonObject& JsonObject::operator=(const JsonObject& other)
{
    if (this != &other) {
        m_members = other.m_members;
        m_index.reset();
    }
    return *this;
}
JsonObject& JsonObject::operator=(JsonObject&& other) noexcept = default;
JsonObject::~JsonObject() = default;

std::size_t JsonObject::size() const
{
    return m_members.size();
}

void JsonObject::buildIndex() const
{
    m_index = std::make_unique<std::unordered_map<std::string, std::size_t>>();
    m_index->reserve(m_members.size() * 2);
    for (std::size_t i = 0; i < m_members.size(); ++i)
        m_index->emplace(m_members[i].key, i);
}

std::ptrdiff_t JsonObject::indexOf(std::string_view key) const
{
    if (m_members.size() <= kLinearSearchLimit) {
        for (std::size_t i = 0; i < m_members.size(); ++i)
            if (m_members[i].key == key)
                return static_cast<std::ptrdiff_t>(i);
        return -1;
    }
    if (!m_index)
        buildIndex();
    const auto it = m_index->find(std::string(key));
    return it == m_index->end() ? -1 : static_cast<std::ptrdiff_t>(it->second);
}

JsonValue& JsonObject::set(std::string_view key, JsonValue value)
{
    const std::ptrdiff_t at = indexOf(key);
    if (at >= 0) {
        JsonValue& slot = m_members[static_cast<std::size_t>(at)].value;
        slot = std::move(value);
        return slot;
    }
    m_members.push_back(JsonMember{std::string(key), std::move(value)});
    if (m_index)
        m_index->emplace(m_members.back().key, m_members.size() - 1);
    return m_members.back().value;
}

const JsonValue* JsonObject::find(std::string_view key) const
{
    const std::ptrdiff_t at = indexOf(key);
    return at < 0 ? nullptr : &m_members[static_cast<std::size_t>(at)].value;
}

JsonValue* JsonObject::find(std::string_view key)
{
    const std::ptrdiff_t at = indexOf(key);
    return at < 0 ? nullptr : &m_members[static_cast<std::size_t>(at)].value;
}

bool JsonObject::operator==(const JsonObject& other) const
{
    return m_members == other.m_members;
}

std::string JsonValue::toJson() const
{
    std::string out;
    appendJson(out, *this);
    return out;
}

} // namespace taglink
