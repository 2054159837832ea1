// One visit to DB0FBB, the same whether typed or run by a script: the files
// it moves and the checks of what arrived where, in which order.
#pragma once

#include <string>

#include "FbbFixture.h"

namespace norva::test {

class FbbVisit : public FbbFixture {
protected:
    // Lengths that are no multiple of FBB's 250-byte frames.
    const std::string downloadName = "fbbget.bin";
    const std::string download = everyByteFile(6000, 1);
    const std::string uploadName = "fbbput.bin";
    const std::string upload = everyByteFile(5003, 2);

    // The rig, with the download in FBB's file area and the upload in
    // Norva's BinSendFileDir.
    void SetUp() override;
    // After "BGET" (from: the mark before it): the file lands in
    // BinReadFileDir whole, and FBB's report and prompt follow at once.
    void expectFetched(std::uint64_t from);
    // After FBB's "Ready to receive" and ":sendbin" (from: the mark before
    // it): the file lands in FBB's file area whole, FBB reports it and
    // prompts.
    void expectDelivered(std::uint64_t from);
    // At the end: both ways of the whole visit in their order, and FBB's
    // reports on Norva's standard output.
    void expectWholeVisitInOrder();
};

}  // namespace norva::test
