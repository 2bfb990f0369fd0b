// The USB reply as the generator library receives it: a 12-byte header whose
// bytes 4..7 claim the payload length, then the payload. Each input is served
// as the one reply packet of a read-only exchange through the virtual USB
// device (a seqpacket socket in a private folder, served by a thread of this
// program), so the whole receive path runs: framing, length clamp, the
// answer taken up to its first NUL.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "fuzz_check.h"
#include "link.h"

namespace {

std::mutex g_mutex;
std::string g_reply;  // the packet the device sends for the next read request

void Serve(int listener) {
    for (;;) {
        const int fd = accept(listener, nullptr, nullptr);
        if (fd < 0) continue;
        char request[64];
        const ssize_t got = recv(fd, request, sizeof request, 0);
        if (got == 12 && request[0] == 2) {
            std::string reply;
            {
                std::lock_guard lock(g_mutex);
                reply = g_reply;
            }
            send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        }
        while (recv(fd, request, sizeof request, 0) > 0) {}
        close(fd);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Never real hardware, and the LAN link (opened at the first use) on loopback.
    setenv("QRV_LAN_ADDRESS", "127.0.0.1", 1);
    char folder[] = "/tmp/zorbel-fuzz-usb-XXXXXX";
    if (mkdtemp(folder) == nullptr) std::abort();
    const std::string path = std::string(folder) + "/usb.sock";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    const int listener = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (listener < 0 || bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 4) != 0)
        std::abort();
    setenv("QRV_USB_DEVICE", ("unix:" + path).c_str(), 1);
    std::thread(Serve, listener).detach();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 65536) return 0;  // more than one packet of the socket can carry
    const std::string packet(reinterpret_cast<const char*>(data), size);
    {
        std::lock_guard lock(g_mutex);
        g_reply = packet;
    }
    const std::string before = "\x01unchanged";
    std::string answer = before;
    const int result = qrv::SendCommand("", answer, static_cast<std::uint32_t>(qrv::ExchangeMode::ReadOnly));

    // What must come of it: the socket delivers at most header + kMaxBufLen
    // bytes; the payload is what the header claims, never more than arrived
    // and never more than kMaxBufLen; the answer ends at the first NUL.
    const std::size_t arrived = std::min(size, qrv::kMaxBufLen + 12);
    std::size_t take = 0;
    if (arrived >= 12) {
        std::uint32_t claimed = 0;
        for (int i = 0; i < 4; ++i) claimed |= static_cast<std::uint32_t>(data[4 + i]) << (8 * i);
        take = std::min<std::size_t>({claimed, qrv::kMaxBufLen, arrived - 12});
    }
    if (take == 0) {
        FUZZ_CHECK(result == qrv::kExchangeFailed);
        FUZZ_CHECK(answer == before);
    } else {
        FUZZ_CHECK(result == qrv::kExchangeDone);
        const std::string payload = packet.substr(12, take);
        FUZZ_CHECK(answer == payload.substr(0, payload.find('\0')));
    }
    return 0;
}
