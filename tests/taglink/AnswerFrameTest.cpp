// Framing of ExifTool's stay-open answers, with the bytes arriving in pieces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "taglink/AnswerFrame.h"

using taglink::AnswerFrame;

TEST(AnswerFrame, CompleteOnlyWhenOutputEndsWithTheMarker)
{
    struct Case
    {
        std::vector<std::string> outPieces;
        std::vector<std::string> errPieces;
        AnswerFrame::Status status;
        std::string answer;
    };
    using S = AnswerFrame::Status;
    const std::vector<Case> cases = {
        {{"[{\"a\":1}]\n{ready}\n"}, {"{ready}\n"}, S::Complete, "[{\"a\":1}]\n"},
        // The marker split across two reads.
        {{"[1]\n{rea", "dy}\n"}, {"{ready}\n"}, S::Complete, "[1]\n"},
        {{"[1]\n{", "ready", "}", "\n"}, {}, S::Complete, "[1]\n"},
        // A marker-like text inside the answer is not its end.
        {{"[\"{ready}\n\", 2]\n"}, {}, S::Waiting, ""},
        // Nothing before the marker: an empty answer.
        {{"{ready}\n"}, {"{ready}\n"}, S::Complete, ""},
        // Standard error that first delivers part of its marker is waited on.
        {{"[1]\n"}, {"{rea"}, S::Waiting, ""},
        {{"[1]\n"}, {"{rea", "dy}\n"}, S::Waiting, ""},
        // Anything else on standard error fails the request, even a complete answer.
        {{"[1]\n{ready}\n"}, {"Error: File not found - x\n{ready}\n"}, S::Failed, ""},
        {{}, {"Warning", ": x"}, S::Failed, ""},
        {{}, {"{ready}\n{ready}\n"}, S::Failed, ""},
    };
    for (const Case& c : cases) {
        AnswerFrame frame;
        for (const std::string& e : c.errPieces)
            frame.addError(e);
        for (const std::string& o : c.outPieces)
            frame.addOutput(o);
        EXPECT_EQ(frame.status(), c.status) << c.outPieces.size() << " pieces";
        if (c.status == S::Complete) {
            EXPECT_EQ(frame.output(), c.answer);
        }
    }
}

TEST(AnswerFrame, KnowsWhichMarkersAreStillOwed)
{
    AnswerFrame failed;
    failed.addError("Error: x\n{re");
    EXPECT_EQ(failed.status(), AnswerFrame::Status::Failed);
    EXPECT_FALSE(failed.outputMarkerSeen());
    EXPECT_FALSE(failed.errorMarkerSeen());

    taglink::MarkerScanner scanner;
    EXPECT_FALSE(scanner.add(failed.errorText()));
    EXPECT_FALSE(scanner.add("ady"));
    EXPECT_TRUE(scanner.add("}\n"));
}
