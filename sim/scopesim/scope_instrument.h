// The simulated oscilloscope behind the frame protocol: it checks each
// request frame, acts on it and returns the reply frames, with the fault
// behaviour the options ask for.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "frame.h"
#include "instrument_tables.h"
#include "signal_model.h"

namespace scopesim {

// Counts of replies to disturb, from the start of the run.
struct Faults {
    int corruptChecksum = 0;  // replies to operations (not syncs) with a wrong checksum
    int wrongSequence = 0;    // sync replies preceded by one with an older sequence number
    int otherCode = 0;        // syncs answered with a frame of another code instead
};

class ScopeInstrument {
public:
    ScopeInstrument(SignalSource& signals, Faults faults);

    // The reply frames for one request as written to pipe 0, in order; none
    // for a damaged or unknown request.
    std::vector<qmk::Bytes> Handle(std::span<const std::uint8_t> request);

    const ParameterBlock& Block() const { return block_; }
    int Autosets() const { return autosets_; }

private:
    std::vector<qmk::Bytes> Sync(std::span<const std::uint8_t> data);
    std::vector<qmk::Bytes> ReadFile(std::span<const std::uint8_t> data);
    std::vector<qmk::Bytes> WriteBlock(std::span<const std::uint8_t> data);
    std::vector<qmk::Bytes> Control(std::span<const std::uint8_t> data);
    std::vector<qmk::Bytes> Autoset();
    std::vector<qmk::Bytes> Measure(std::span<const std::uint8_t> data);
    std::vector<qmk::Bytes> Capture(std::span<const std::uint8_t> data);

    double Probe(int channel) const;

    SignalSource& signals_;
    Faults faults_;
    ParameterBlock block_;
    int autosets_ = 0;
};

}  // namespace scopesim
