// zorbel-gensim: a two-channel DDS generator simulator that answers the
// generator library over LAN (UDP 9966 on a loopback address) and over the
// virtual USB device (a seqpacket socket), both at once if asked.
#include "endpoints.h"
#include "families.h"
#include "faults.h"
#include "options.h"
#include "server.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>

namespace {

int stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const char byte = 's';
    [[maybe_unused]] const ssize_t ignored = write(stopPipe[1], &byte, 1);
}

bool InstallStopSignals() {
    if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // SIGHUP too: a simulator started from a terminal that closes must still remove its socket.
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        if (sigaction(signal, &action, nullptr) != 0) return false;
    signal(SIGPIPE, SIG_IGN);
    return true;
}

void AnnounceReady(const gensim::SimOptions& options) {
    std::cout << "zorbel-gensim ready";
    if (!options.lanAddress.empty()) std::cout << " lan=" << options.lanAddress << ":9966";
    if (!options.usbPath.empty()) std::cout << " usb=unix:" << options.usbPath;
    std::cout << std::endl;
    if (options.readyFd >= 0) {
        constexpr char kReady[] = "ready\n";
        [[maybe_unused]] const ssize_t ignored = write(options.readyFd, kReady, sizeof kReady - 1);
        close(options.readyFd);
    }
}

}  // namespace

int main(int argc, char** argv) {
    gensim::SimOptions options;
    std::string error;
    bool help = false;
    if (!gensim::ParseOptions(argc, argv, options, error, help)) {
        (help ? std::cout : std::cerr) << error << (error.empty() || error.back() == '\n' ? "" : "\n");
        return help ? 0 : 2;
    }
    if (!InstallStopSignals()) {
        std::cerr << "zorbel-gensim: cannot install signal handlers\n";
        return 1;
    }

    gensim::EventLoop loop;
    gensim::Dispatcher dispatcher(options);
    gensim::FaultPolicy faults(options);
    std::unique_ptr<gensim::LanEndpoint> lan;
    std::unique_ptr<gensim::UsbEndpoint> usb;
    if (!options.lanAddress.empty()) {
        lan = std::make_unique<gensim::LanEndpoint>(loop, dispatcher, faults, options.verbose);
        if (!lan->Start(options.lanAddress, error)) {
            std::cerr << "zorbel-gensim: " << error << '\n';
            return 1;
        }
    }
    if (!options.usbPath.empty()) {
        usb = std::make_unique<gensim::UsbEndpoint>(loop, dispatcher, faults, options.verbose);
        if (!usb->Start(options.usbPath, error)) {
            std::cerr << "zorbel-gensim: " << error << '\n';
            return 1;
        }
    }
    AnnounceReady(options);
    loop.Run(stopPipe[0]);
    return 0;  // endpoints close their sockets and remove the USB socket file
}
