// The document model built by the JSON reader: null, booleans, typed numbers, strings,
// lists and keyed records. Records keep their members in the order of first appearance;
// a repeated key replaces the earlier value in place.
//
// Containers and strings take a memory resource: the reader builds a document inside its
// own arena (no allocation per value), and a copy of any value is made with the default
// resource, so copies live on their own.
#pragma once

#include <cstdint>
#include <memory_resource>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace taglink {

using JsonString = std::pmr::string;

// A number as read: its typed value and the text it was written with (so that "1.10"
// stays "1.10" when shown).
struct JsonNumber
{
    enum class Kind { Signed, Unsigned, Real };
    Kind kind = Kind::Signed;
    std::int64_t i = 0;
    std::uint64_t u = 0;
    double d = 0;
    JsonString text;

    double toDouble() const;
    bool operator==(const JsonNumber& other) const;
};

class JsonValue;
struct JsonMember;
using JsonArray = std::pmr::vector<JsonValue>;

class JsonObject
{
public:
    explicit JsonObject(std::pmr::memory_resource* resource = std::pmr::get_default_resource());
    // A copy is made with the default resource, whatever the original's.
    JsonObject(const JsonObject& other);
    JsonObject(JsonObject&& other) noexcept;
    JsonObject& operator=(const JsonObject& other);
    JsonObject& operator=(JsonObject&& other);
    ~JsonObject();

    // Stores the value under the key and returns the stored value.
    JsonValue& set(std::string_view key, JsonValue value);
    const JsonValue* find(std::string_view key) const;
    JsonValue* find(std::string_view key);
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    std::size_t size() const;
    bool empty() const { return size() == 0; }
    const std::pmr::vector<JsonMember>& members() const { return m_members; }

    bool operator==(const JsonObject& other) const;

private:
    std::ptrdiff_t indexOf(std::string_view key, std::size_t hash) const;
    void addToIndex(std::size_t member, std::size_t hash);
    void rebuildIndex(std::size_t slots);

    std::pmr::vector<JsonMember> m_members;
    // Open-addressing index (member number + 1, 0 for a free slot), kept once a record
    // grows past a few members, so that large records stay linear to build.
    std::pmr::vector<std::uint32_t> m_slots;
};

class JsonValue
{
public:
    using Storage =
        std::variant<std::nullptr_t, bool, JsonNumber, JsonString, JsonArray, JsonObject>;

    JsonValue() : m_value(nullptr) {}
    JsonValue(std::nullptr_t) : m_value(nullptr) {}
    JsonValue(bool b) : m_value(b) {}
    JsonValue(JsonNumber n) : m_value(std::move(n)) {}
    JsonValue(std::string_view s,
              std::pmr::memory_resource* resource = std::pmr::get_default_resource())
        : m_value(std::in_place_type<JsonString>, s, resource)
    {
    }
    JsonValue(const char* s) : JsonValue(std::string_view(s)) {}
    JsonValue(const std::string& s) : JsonValue(std::string_view(s)) {}
    JsonValue(JsonArray a) : m_value(std::move(a)) {}
    JsonValue(JsonObject o) : m_value(std::move(o)) {}

    bool isNull() const { return std::holds_alternative<std::nullptr_t>(m_value); }
    bool isBool() const { return std::holds_alternative<bool>(m_value); }
    bool isNumber() const { return std::holds_alternative<JsonNumber>(m_value); }
    bool isString() const { return std::holds_alternative<JsonString>(m_value); }
    bool isArray() const { return std::holds_alternative<JsonArray>(m_value); }
    bool isObject() const { return std::holds_alternative<JsonObject>(m_value); }

    bool asBool() const { return std::get<bool>(m_value); }
    const JsonNumber& asNumber() const { return std::get<JsonNumber>(m_value); }
    std::string_view asString() const { return std::get<JsonString>(m_value); }
    const JsonArray& asArray() const { return std::get<JsonArray>(m_value); }
    JsonArray& asArray() { return std::get<JsonArray>(m_value); }
    const JsonObject& asObject() const { return std::get<JsonObject>(m_value); }
    JsonObject& asObject() { return std::get<JsonObject>(m_value); }

    // Compact JSON text of the value.
    std::string toJson() const;

    bool operator==(const JsonValue& other) const { return m_value == other.m_value; }

private:
    Storage m_value;
};

struct JsonMember
{
    JsonString key;
    JsonValue value;
    bool operator==(const JsonMember&) const = default;
};

} // namespace taglink
