// The document model built by the JSON reader: null, booleans, typed numbers, strings,
// lists and keyed records. Records keep their members in the order of first appearance;
// a repeated key replaces the earlier value in place.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

namespace taglink {

// A number as read: its typed value and the text it was written with (so that "1.10"
// stays "1.10" when shown).
struct JsonNumber
{
    enum class Kind { Signed, Unsigned, Real };
    Kind kind = Kind::Signed;
    std::int64_t i = 0;
    std::uint64_t u = 0;
    double d = 0;
    std::string text;

    double toDouble() const;
    bool operator==(const JsonNumber& other) const;
};

class JsonValue;
struct JsonMember;
using JsonArray = std::vector<JsonValue>;

class JsonObject
{
public:
    JsonObject();
    JsonObject(const JsonObject& other);
    JsonObject(JsonObject&& other) noexcept;
    JsonObject& operator=(const JsonObject& other);
    JsonObject& operator=(JsonObject&& other) noexcept;
    ~JsonObject();

    // Stores the value under the key and returns the stored value.
    JsonValue& set(std::string_view key, JsonValue value);
    const JsonValue* find(std::string_view key) const;
    JsonValue* find(std::string_view key);
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    std::size_t size() const;
    bool empty() const { return size() == 0; }
    const std::vector<JsonMember>& members() const { return m_members; }

    bool operator==(const JsonObject& other) const;

private:
    std::ptrdiff_t indexOf(std::string_view key) const;
    void buildIndex() const;

    std::vector<JsonMember> m_members;
    // Built once a record grows past a few members, so that large records stay linear.
    mutable std::unique_ptr<std::unordered_map<std::string, std::size_t>> m_index;
};

class JsonValue
{
public:
    using Storage =
        std::variant<std::nullptr_t, bool, JsonNumber, std::string, JsonArray, JsonObject>;

    JsonValue() : m_value(nullptr) {}
    JsonValue(std::nullptr_t) : m_value(nullptr) {}
    JsonValue(bool b) : m_value(b) {}
    JsonValue(JsonNumber n) : m_value(std::move(n)) {}
    JsonValue(std::string s) : m_value(std::move(s)) {}
    JsonValue(std::string_view s) : m_value(std::string(s)) {}
    JsonValue(const char* s) : m_value(std::string(s)) {}
    JsonValue(JsonArray a) : m_value(std::move(a)) {}
    JsonValue(JsonObject o) : m_value(std::move(o)) {}

    bool isNull() const { return std::holds_alternative<std::nullptr_t>(m_value); }
    bool isBool() const { return std::holds_alternative<bool>(m_value); }
    bool isNumber() const { return std::holds_alternative<JsonNumber>(m_value); }
    bool isString() const { return std::holds_alternative<std::string>(m_value); }
    bool isArray() const { return std::holds_alternative<JsonArray>(m_value); }
    bool isObject() const { return std::holds_alternative<JsonObject>(m_value); }

    bool asBool() const { return std::get<bool>(m_value); }
    const JsonNumber& asNumber() const { return std::get<JsonNumber>(m_value); }
    const std::string& asString() const { return std::get<std::string>(m_value); }
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
    std::string key;
    JsonValue value;
    bool operator==(const JsonMember&) const = default;
};

} // namespace taglink
