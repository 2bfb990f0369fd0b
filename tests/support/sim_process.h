// Starting the project's simulator programs from tests and benchmarks and
// waiting until they serve (instead of sleeping), and stopping them again.
#pragma once

#include "temp_dir.h"

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zorbel::test {

// The folder of the project's programs: $ZORBEL_BIN_DIR (set by CTest), else
// the folder of the running test program.
std::string BinDir();

// One running simulator. The program must accept "--ready-fd N" and write
// "ready" there once it serves.
class SimProcess {
public:
    // Starts `program` (a name in BinDir() or a path containing '/') with
    // `args` plus "--ready-fd N" and waits up to `timeout` for "ready".
    // nullptr when it exits or stays silent; `error` then says why.
    static std::unique_ptr<SimProcess> Start(const std::string& program, const std::vector<std::string>& args,
                                             std::string* error = nullptr,
                                             std::chrono::milliseconds timeout = std::chrono::seconds(10));
    ~SimProcess();  // Stop()
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    pid_t Pid() const { return pid_; }

    // SIGTERM, then waits up to 5 s (SIGKILL after that). Returns the exit
    // status (as waitpid reports it), or nullopt when it had to be killed.
    // Further calls return the first result.
    std::optional<int> Stop();

private:
    explicit SimProcess(pid_t pid) : pid_(pid) {}
    pid_t pid_;
    bool stopped_ = false;
    std::optional<int> status_;
};

// What to start zorbel-gensim with.
struct GensimConfig {
    bool lan = true;                     // serve LAN on a fresh loopback address
    bool usb = true;                     // serve the virtual USB device in a fresh temp folder
    std::vector<std::string> extraArgs;  // fault options: "--delay", "300", ...
};

// zorbel-gensim on its own loopback address and/or socket path.
class Gensim {
public:
    // Starts it and waits until it is ready; retries with another address
    // when the chosen one is taken. nullptr (and `error`) on failure.
    static std::unique_ptr<Gensim> Start(const GensimConfig& config = {}, std::string* error = nullptr);

    const std::string& LanAddress() const { return lanAddress_; }  // empty without LAN
    std::uint32_t LanAddressValue() const;                         // for qmkHDInitComType
    const std::string& UsbPath() const { return usbPath_; }        // empty without USB
    std::string UsbDevice() const { return "unix:" + usbPath_; }   // for QRV_USB_DEVICE
    SimProcess& Process() { return *process_; }
    // The instrument dies at once (SIGKILL), as one that loses power or
    // crashes: no answer to the exchange under way, the socket gone.
    void Kill();
    // Starts it again on the same address and socket with the same options,
    // after Kill or Process().Stop(). False (and `error`) on failure.
    bool Restart(std::string* error = nullptr);

private:
    Gensim() = default;
    std::unique_ptr<TempDir> dir_;
    std::vector<std::string> args_;
    std::string lanAddress_;
    std::string usbPath_;
    std::unique_ptr<SimProcess> process_;
};

}  // namespace zorbel::test
