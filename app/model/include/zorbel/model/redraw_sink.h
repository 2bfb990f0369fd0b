// Where the model's users send what the waveform view has to draw again:
// the view implements it, the panel, the dialogs and the mouse tools call
// it, tests record it. Qt-free, so that everything below the view can ask
// for a redraw without knowing the view.
#pragma once

#include <cstdint>

#include "zorbel/model/session_state.h"

namespace zorbel {

class RedrawSink {
public:
    virtual ~RedrawSink() = default;
    // The layers of `mask` are to be drawn again: Waveform after a change of
    // the waveform, Annotations after amplitude and offset, Everything after
    // a new channel or window, Cursor for the rubber band. Any thread.
    virtual void RequestRedraw(RefreshMask mask) = 0;
    // Points first..last of `channel` were changed in place; EditArbitrary
    // says so before it asks for the redraw. The view needs no word of its
    // edits (its envelope follows the channel's generation); it takes this as
    // a hint for points changed in place behind EditArbitrary. Any thread.
    virtual void ArbitraryPointsChanged(std::uint16_t /*channel*/, std::uint32_t /*first*/, std::uint32_t /*last*/) {}
};

}  // namespace zorbel
