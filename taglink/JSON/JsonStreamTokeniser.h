// Cuts JSON bytes into tokens, one per call, checking number syntax, string escapes and
// UTF-8 on the way. Bytes can arrive in pieces: a token that is not complete yet is read
// again from its first byte once more bytes have been appended.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace taglink {

enum class JsonToken {
    None, // no complete token in the bytes available yet
    Error,
    ArrayOpen,
    ArrayClose,
    ValueSeparator,
    ObjectOpen,
    ObjectClose,
    KeyValueSeparator,
    True,
    False,
    Null,
    Integer,
    Real,
    String,        // without escapes
    EncodedString, // with at least one backslash escape
};

// Name of a token kind as used in messages ("start of array", ...).
const char* jsonTokenName(JsonToken token);

class JsonStreamTokeniser
{
public:
    // Drops the bytes already consumed, then appends the new ones. When everything before
    // has been consumed the bytes are read where they are, without a copy, until
    // keepUnconsumed() is called; they must stay valid until then.
    void appendData(std::string_view bytes);
    // Copies the bytes not consumed yet into the tokeniser's own buffer.
    void keepUnconsumed();

    // The next token. For strings, `token` points at the contents between the quotes;
    // for numbers and the other tokens at the token's bytes. Valid until the next append.
    JsonToken getToken(const char** token, std::size_t* length);

    // Message of the last error, with its absolute position ("... at index 2").
    const std::string& error() const { return m_error; }
    std::uint64_t index() const { return m_index; }
    std::uint64_t offset() const { return m_offset; }

    // Replaces the escapes of a string token's contents (already checked by getToken).
    static void decodeEscapedString(const char* bytes, std::size_t length, std::string& out);

private:
    JsonToken numberToken(const char** token, std::size_t* length);
    JsonToken stringToken(const char** token, std::size_t* length);
    JsonToken literalToken(std::string_view word, JsonToken kind);
    // Checks one escape starting at the backslash at m_index; advances past it.
    JsonToken escape();
    // Checks one UTF-8 character whose lead byte (>= 0x80) is at m_index; advances past it.
    JsonToken utf8Character();
    JsonToken fail(std::string message);
    JsonToken failAt(std::size_t position, std::string message);

    std::string m_buffer;
    // The bytes being read: m_buffer's, or the caller's.
    const char* m_data = nullptr;
    std::size_t m_size = 0;
    bool m_external = false;
    std::size_t m_index = 0;
    std::uint64_t m_offset = 0;
    std::string m_error;
};

} // namespace taglink
