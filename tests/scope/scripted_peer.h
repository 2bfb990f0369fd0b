// A scripted oscilloscope on the virtual device socket: every request the
// library writes is logged and answered by the test's script with exact bytes.
// Also sets the library up for the suite: pauses shortened, device selected.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device_socket.h"
#include "frame.h"

namespace scopetest {

using qmk::Bytes;

class ScriptedPeer {
public:
    // Replies to one request, handed out to the following reads in order.
    using Script = std::function<std::vector<Bytes>(const Bytes& request)>;

    // Listens in a fresh temporary folder and points QMK_SCOPE_DEVICE at it.
    explicit ScriptedPeer(Script script);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    // Every request received so far, in order.
    std::vector<Bytes> Requests() const;
    // Requests other than syncs.
    std::vector<Bytes> Operations() const;
    // The device vanishes at once (callable from the script).
    void Disappear();

private:
    void Run();

    std::string folder_;
    std::unique_ptr<scopesim::DeviceSocket> device_;
    Script script_;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<Bytes> requests_;
    std::thread thread_;
};

// A temporary folder removed with its content at the end of its scope.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// ---- Frames ------------------------------------------------------------

bool IsSync(const Bytes& request);
std::uint16_t SyncNumber(const Bytes& request);
// The instrument's echo of a sync request.
Bytes SyncEcho(const Bytes& syncRequest);
// Replies to a sync with its echo, everything else through `other`.
ScriptedPeer::Script AnswerSyncs(std::function<std::vector<Bytes>(const Bytes&)> other);
// A reply frame: code | 0x80, data, checksum.
Bytes ReplyFrame(std::uint8_t requestCode, const Bytes& data);
// The two frames of a table download for `text`.
std::vector<Bytes> TableFrames(const std::string& text);

// The library's state back to load state: tables empty, image clear.
void ResetLibrary();

}  // namespace scopetest
