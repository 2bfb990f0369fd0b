// The coalescing queue: a newer command replaces its pending twin and moves
// to the back; different channels or codes never coalesce.
#include <gtest/gtest.h>

#include "zorbel/model/command_queue.h"
#include "zorbel/model/parameters.h"

namespace zorbel {
namespace {

const std::uint16_t kAmplitude = WriteParameterCode(Parameter::Amplitude);
const std::uint16_t kFrequency = WriteParameterCode(Parameter::Frequency);

TEST(CommandQueue, NewerWriteReplacesOlderAndSitsBehindWhatCameBetween) {
    CommandQueue q;
    q.Enqueue({kAmplitude, 0, 0, 1.0});
    q.Enqueue({kFrequency, 0, 0, 500.0});
    q.Enqueue({kAmplitude, 0, 0, 3.0});
    const std::vector<InstrumentCommand> expected = {{kFrequency, 0, 0, 500.0}, {kAmplitude, 0, 0, 3.0}};
    EXPECT_EQ(q.Pending(), expected);
}

TEST(CommandQueue, SameCodeOnBothChannelsStaysQueued) {
    CommandQueue q;
    q.Enqueue({kAmplitude, 0, 0, 1.0});
    q.Enqueue({kAmplitude, 1, 0, 2.0});
    ASSERT_EQ(q.Size(), 2u);
    EXPECT_EQ(q.Dequeue().channel, 0);
    EXPECT_EQ(q.Dequeue().channel, 1);
}

TEST(CommandQueue, EndMarkersOfTheWholeInstrumentCoalesceToo) {
    CommandQueue q;
    q.Enqueue({code::kRefresh, kWholeInstrument});
    q.Enqueue({code::kWriteSettingsEnd, kWholeInstrument});
    q.Enqueue({code::kRefresh, kWholeInstrument});
    ASSERT_EQ(q.Size(), 2u);
    EXPECT_EQ(q.FrontCode(), code::kWriteSettingsEnd);
}

TEST(CommandQueue, EmptyQueueYieldsCodeZeroForTheWholeInstrument) {
    CommandQueue q;
    EXPECT_EQ(q.FrontCode(), code::kNone);
    EXPECT_EQ(q.Dequeue(), (InstrumentCommand{code::kNone, -1, 0, 0.0}));
    q.Enqueue({kAmplitude, 1, 0, 2.0});
    EXPECT_EQ(q.Dequeue().code, kAmplitude);
    EXPECT_EQ(q.Dequeue().code, code::kNone);
}

}  // namespace
}  // namespace zorbel
