// Document model of the JSON reader.
#include "taglink/JSON/JsonValue.h"

#include <cstdio>
#include <functional>

namespace taglink {

namespace {
// Records up to this size are searched linearly; larger ones get a hash index.
constexpr std::size_t kLinearSearchLimit = 8;

void appendEscaped(std::string& out, std::string_view s)
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

JsonObject::JsonObject(std::pmr::memory_resource* resource) : m_members(resource), m_slots(resource)
{
}
JsonObject::JsonObject(const JsonObject& other) = default;
JsonObject::JsonObject(JsonObject&& other) noexcept = default;
JsonObject& JsonObject::operator=(const JsonObject& other) = default;
JsonObject& JsonObject::operator=(JsonObject&& other) = default;
JsonObject::~JsonObject() = default;

std::size_t JsonObject::size() const
{
    return m_members.size();
}

void JsonObject::addToIndex(std::size_t member, std::size_t hash)
{
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = hash & mask;
    while (m_slots[slot] != 0)
        slot = (slot + 1) & mask;
    m_slots[slot] = static_cast<std::uint32_t>(member + 1);
}

void JsonObject::rebuildIndex(std::size_t slots)
{
    m_slots.assign(slots, 0);
    for (std::size_t i = 0; i < m_members.size(); ++i)
        addToIndex(i, std::hash<std::string_view>{}(m_members[i].key));
}

std::ptrdiff_t JsonObject::indexOf(std::string_view key, std::size_t hash) const
{
    if (m_slots.empty()) {
        for (std::size_t i = 0; i < m_members.size(); ++i)
            if (m_members[i].key == key)
                return static_cast<std::ptrdiff_t>(i);
        return -1;
    }
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = hash & mask;
    while (const std::uint32_t entry = m_slots[slot]) {
        if (m_members[entry - 1].key == key)
            return static_cast<std::ptrdiff_t>(entry - 1);
        slot = (slot + 1) & mask;
    }
    return -1;
}

JsonValue& JsonObject::set(std::string_view key, JsonValue value)
{
    // Small records are searched without hashing.
    const std::size_t hash =
        m_members.size() >= kLinearSearchLimit ? std::hash<std::string_view>{}(key) : 0;
    const std::ptrdiff_t at = indexOf(key, hash);
    if (at >= 0) {
        JsonValue& slot = m_members[static_cast<std::size_t>(at)].value;
        slot = std::move(value);
        return slot;
    }
    if (m_members.empty())
        m_members.reserve(4); // the usual size of a tag's record
    m_members.push_back(JsonMember{JsonString(key, m_members.get_allocator()), std::move(value)});
    const std::size_t count = m_members.size();
    if (count > kLinearSearchLimit) {
        // At most half full, so that probes stay short.
        if (m_slots.size() < count * 2) {
            std::size_t slots = 64;
            while (slots < count * 4)
                slots *= 2;
            rebuildIndex(slots);
        } else {
            addToIndex(count - 1, hash);
        }
    }
    return m_members.back().value;
}

const JsonValue* JsonObject::find(std::string_view key) const
{
    const std::ptrdiff_t at =
        indexOf(key, m_slots.empty() ? 0 : std::hash<std::string_view>{}(key));
    return at < 0 ? nullptr : &m_members[static_cast<std::size_t>(at)].value;
}

JsonValue* JsonObject::find(std::string_view key)
{
    const std::ptrdiff_t at =
        indexOf(key, m_slots.empty() ? 0 : std::hash<std::string_view>{}(key));
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
