// The preview of a channel: the vertical window the view scales to and the
// samples it draws for sine, square, ramp, pulse and noise. Pure functions of
// the record, run by every setter and every stored read-back.
#pragma once

#include "zorbel/model/channel_record.h"

namespace zorbel {

// When the record's auto vertical window flag is set: a window of
// 1.25 x amplitude centred on the offset; a side that would pass half the
// amplitude maximum is cut there and the other side mirrored about the offset.
void UpdateVerticalWindow(ChannelRecord& record);

// Fills the first preview point count samples (volts) with `previewPeriods`
// periods of the record's wave. Arbitrary, harmonic and unknown types leave
// the samples as they are.
void SynthesizePreview(ChannelRecord& record);

// Both, as a change of amplitude or offset needs them.
inline void UpdatePreview(ChannelRecord& record, bool windowToo) {
    if (windowToo) UpdateVerticalWindow(record);
    SynthesizePreview(record);
}

}  // namespace zorbel
