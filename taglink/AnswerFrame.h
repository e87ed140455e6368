// The framing of one ExifTool answer in stay-open mode. Standard output ends with the
// ready marker; standard error is exactly the ready marker when all went well (warnings
// and errors come before it). Bytes may arrive in any pieces on either stream.
#pragma once

#include <string>
#include <string_view>

namespace taglink {

inline constexpr std::string_view kReadyMarker = "{ready}\n";

class AnswerFrame
{
public:
    enum class Status { Waiting, Complete, Failed };

    void addOutput(std::string_view bytes);
    void addError(std::string_view bytes);
    // Failed as soon as standard error holds anything but the marker; complete once
    // standard output ends with the marker (an answer that is the marker alone is empty).
    Status status() const;

    // The answer without its marker, once complete.
    const std::string& output() const { return m_out; }
    const std::string& errorText() const { return m_err; }
    // Standard error has delivered its eight bytes and they were judged.
    bool errorSettled() const { return m_errSettled; }
    // Whether each stream's marker has arrived: a stream that has not must be drained up
    // to its marker before the next request, or its rest would mix with the next answer.
    bool outputMarkerSeen() const { return m_outDone; }
    bool errorMarkerSeen() const;

private:
    std::string m_out;
    std::string m_err;
    bool m_outDone = false;
    bool m_errSettled = false;
    bool m_errFailed = false;
};

// Reads one stream up to the end of its marker, for draining an abandoned answer.
class MarkerScanner
{
public:
    // True once the bytes seen so far end with the marker.
    bool add(std::string_view bytes);

private:
    std::string m_tail;
};

} // namespace taglink
