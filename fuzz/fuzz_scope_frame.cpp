// The oscilloscope's reply frames: the length and checksum test every
// received transfer passes, the code test of each operation, and the data
// area and byte access the operations read their values through.
#include <cstdint>
#include <span>
#include <vector>

#include "frame.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The receive buffer is exactly the bytes that arrived: a read past them is an overflow.
    const std::vector<std::uint8_t> received(data, data + size);
    const std::span<const std::uint8_t> bytes(received);
    const auto frame = qmk::CheckFrame(bytes);

    for (std::uint8_t code : {std::uint8_t{0x80}, std::uint8_t{0x81}, std::uint8_t{0x82}, std::uint8_t{0x90},
                              std::uint8_t{0x92}, std::uint8_t{0xA2}, size > 3 ? received[3] : std::uint8_t{0}}) {
        const auto accepted = qmk::AcceptReply(bytes, code);
        FUZZ_CHECK(accepted.has_value() == (frame.has_value() && frame->code == code));
    }
    if (frame) {
        const std::size_t n = frame->n;
        FUZZ_CHECK(n >= 2 && n + 3 <= size);
        FUZZ_CHECK(frame->Data().size() == n - 2);
        FUZZ_CHECK(frame->Data().data() == received.data() + qmk::kHeaderSize);
        // Every byte the operations ask for: only the data area answers.
        for (std::size_t offset = 0; offset < n + 8; ++offset) {
            const auto byte = frame->DataByte(offset);
            FUZZ_CHECK(byte.has_value() == (offset >= qmk::kHeaderSize && offset <= n + 1));
            if (byte) FUZZ_CHECK(*byte == received[offset]);
        }
        // A frame that is exactly its N + 3 bytes is what BuildFrame makes of
        // its code and data (the start byte of a reply is not checked).
        if (size == n + 3 && received[0] == qmk::kFrameStart) {
            const auto rebuilt = qmk::BuildFrame(frame->code, frame->Data());
            FUZZ_CHECK(rebuilt == received);
        }
    }

    // Whatever is framed is accepted again, with its own code and data.
    if (size >= 1 && size <= qmk::kMaxTransfer - 5) {
        const auto built = qmk::BuildFrame(received[0], bytes.subspan(1));
        const auto again = qmk::AcceptReply(built, received[0]);
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(std::equal(again->Data().begin(), again->Data().end(), received.begin() + 1, received.end()));
    }
    return 0;
}
