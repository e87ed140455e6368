// Answer framing of the stay-open protocol.
#include "taglink/AnswerFrame.h"

namespace taglink {

namespace {
bool endsWithMarker(std::string_view s)
{
    return s.size() >= kReadyMarker.size() &&
           s.substr(s.size() - kReadyMarker.size()) == kReadyMarker;
}
} // namespace

void AnswerFrame::addOutput(std::string_view bytes)
{
    if (m_outDone || bytes.empty())
        return;
    m_out.append(bytes);
    if (endsWithMarker(m_out)) {
        m_out.resize(m_out.size() - kReadyMarker.size());
        m_outDone = true;
    }
}

void AnswerFrame::addError(std::string_view bytes)
{
    if (bytes.empty())
        return;
    m_err.append(bytes);
    if (!m_errSettled && m_err.size() >= kReadyMarker.size()) {
        m_errSettled = true;
        m_errFailed = m_err != kReadyMarker;
    }
}

AnswerFrame::Status AnswerFrame::status() const
{
    if (m_errFailed)
        return Status::Failed;
    return m_outDone ? Status::Complete : Status::Waiting;
}

bool AnswerFrame::errorMarkerSeen() const
{
    return endsWithMarker(m_err);
}

bool MarkerScanner::add(std::string_view bytes)
{
    m_tail.append(bytes);
    if (m_tail.size() > kReadyMarker.size())
        m_tail.erase(0, m_tail.size() - kReadyMarker.size());
    return endsWithMarker(m_tail);
}

} // namespace taglink
