// Checks the JSON grammar over the tokeniser's tokens and reports each token as an event
// to its delegate. Never recurses: nesting costs only the state stack.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "taglink/JSON/JsonStreamParserDelegate.h"
#include "taglink/JSON/JsonStreamTokeniser.h"

namespace taglink {

enum class JsonParserStatus {
    Complete = 0,       // the root value is finished and only whitespace followed
    Stopped = 1,        // stop() was called
    WaitingForData = 2, // the bytes ended inside the document
    Error = 3,
};

class JsonStreamParser
{
public:
    // The delegate is not owned and must outlive the parser's use.
    explicit JsonStreamParser(JsonStreamParserDelegate* delegate);
    static JsonStreamParser parserWithDelegate(JsonStreamParserDelegate* delegate)
    {
        return JsonStreamParser(delegate);
    }

    JsonParserStatus parse(std::string_view bytes);
    void stop() { m_stopped = true; }

    // Lists and records may nest this deep; deeper input is an error, which keeps every
    // walker of the built document (copies, destruction) within a small stack.
    static constexpr std::size_t kMaxDepth = 1024;

    enum class State {
        Start,
        Complete,
        Error,
        ObjectStart,
        ObjectGotKey,
        ObjectSeparator,
        ObjectGotValue,
        ObjectNeedKey,
        ArrayStart,
        ArrayGotValue,
        ArrayNeedValue,
    };
    static const char* stateName(State state);

private:
    JsonParserStatus parseTokens();
    bool accepts(JsonToken token) const;
    // The state after a value (scalar or closed container) in the current state.
    void valueDone(bool containerClosed);
    JsonParserStatus failWith(int code, std::string message);
    void handleNumber(JsonToken token, const char* bytes, std::size_t length);

    JsonStreamParserDelegate* m_delegate;
    JsonStreamTokeniser m_tokeniser;
    State m_state = State::Start;
    std::vector<State> m_stack;
    bool m_stopped = false;
    std::string m_scratch;
};

} // namespace taglink
