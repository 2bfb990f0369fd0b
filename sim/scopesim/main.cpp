// zorbel-scopesim: the desktop oscilloscope on its virtual USB device, for
// trying Zorbel's calibration and testing the oscilloscope library without an
// instrument. See options.cpp for the command line.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <iostream>

#include "device_socket.h"
#include "gensim_link.h"
#include "options.h"
#include "scope_instrument.h"

namespace {

int g_wakeWrite = -1;

extern "C" void OnStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(g_wakeWrite, &byte, 1);
}

std::string Hex(std::span<const std::uint8_t> bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < bytes.size() && i < 48; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
        text += ' ';
    }
    if (bytes.size() > 48) text += "...";
    return text;
}

void AnnounceReady(const scopesim::Options& options) {
    std::cout << "zorbel-scopesim ready usb=unix:" << options.usbPath << std::endl;
    if (options.readyFd >= 0) {
        constexpr char kReady[] = "ready\n";
        [[maybe_unused]] const ssize_t ignored = ::write(options.readyFd, kReady, sizeof kReady - 1);
        ::close(options.readyFd);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string message;
    bool help = false;
    const auto options = scopesim::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), message, help);
    if (!options) {
        (help ? std::cout : std::cerr) << message;
        return help ? 0 : 2;
    }

    std::string error;
    std::unique_ptr<scopesim::SignalSource> signals =
        options->gensimAddress.empty() ? scopesim::MakeBuiltInSignals()
                                       : scopesim::MakeGensimSignals(options->gensimAddress, options->outputs, error);
    if (!signals) {
        std::cerr << "zorbel-scopesim: " << error << "\n";
        return 2;
    }
    auto device = scopesim::DeviceSocket::Listen(options->usbPath, error);
    if (!device) {
        std::cerr << "zorbel-scopesim: " << error << "\n";
        return 1;
    }

    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
    g_wakeWrite = wake[1];
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    // SIGHUP too: a simulator started from a terminal that closes must still remove its socket.
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    scopesim::ScopeInstrument scope(*signals, options->faults);
    const std::chrono::milliseconds delay(options->delayMs);
    device->OnWrite([&](std::span<const std::uint8_t> request) {
        // The instrument answers the latest request; an unread older reply is gone.
        device->DropReplies();
        const auto replies = scope.Handle(request);
        if (options->verbose) {
            std::cerr << "request " << Hex(request) << "\n";
            for (const auto& reply : replies) std::cerr << "  reply " << Hex(reply) << "\n";
        }
        for (const auto& reply : replies) device->QueueReply(reply, delay);
    });

    AnnounceReady(*options);
    while (!device->Serve(std::chrono::milliseconds(1000), wake[0])) {}
    device.reset();  // removes the socket file
    return 0;
}
