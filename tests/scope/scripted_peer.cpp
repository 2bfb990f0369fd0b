// Scripted oscilloscope peer and frame helpers for the scope tests.
#include "scripted_peer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "QMKHardDll.h"

namespace scopetest {

namespace {

// The suite runs every exchange without the instrument's pauses; the one test
// of the pauses themselves sets its own value.
const bool kFastPauses = [] { return ::setenv("ZORBEL_TEST_PAUSE_PERCENT", "0", 1) == 0; }();

}  // namespace

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zorbel-scope-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

ScriptedPeer::ScriptedPeer(Script script) : script_(std::move(script)) {
    (void)kFastPauses;
    std::string pattern = (std::filesystem::temp_directory_path() / "zorbel-peer-XXXXXX").string();
    if (::mkdtemp(pattern.data())) folder_ = pattern;
    const std::string path = folder_ + "/scope.sock";
    std::string error;
    device_ = scopesim::DeviceSocket::Listen(path, error);
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
    ::setenv("QMK_SCOPE_DEVICE", ("unix:" + path).c_str(), 1);
    if (device_) {
        device_->OnWrite([this](std::span<const std::uint8_t> request) {
            const Bytes bytes(request.begin(), request.end());
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back(bytes);
            }
            for (Bytes& reply : script_(bytes))
                if (device_) device_->QueueReply(std::move(reply));
        });
    }
    thread_ = std::thread([this] { Run(); });
}

ScriptedPeer::~ScriptedPeer() {
    stop_ = true;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(wake_[1], &byte, 1);
    thread_.join();
    device_.reset();
    ::close(wake_[0]);
    ::close(wake_[1]);
    std::error_code unused;
    std::filesystem::remove_all(folder_, unused);
}

void ScriptedPeer::Run() {
    while (!stop_) {
        if (device_)
            device_->Serve(std::chrono::milliseconds(200), wake_[0]);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void ScriptedPeer::Disappear() {
    if (device_) device_->Close();
}

std::vector<Bytes> ScriptedPeer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<Bytes> ScriptedPeer::Operations() const {
    std::vector<Bytes> out;
    for (Bytes& request : Requests())
        if (!IsSync(request)) out.push_back(std::move(request));
    return out;
}

bool IsSync(const Bytes& request) { return request.size() == 7 && request[3] == qmk::kCodeSync; }

std::uint16_t SyncNumber(const Bytes& request) { return static_cast<std::uint16_t>((request[4] << 8) | request[5]); }

Bytes SyncEcho(const Bytes& syncRequest) { return ReplyFrame(qmk::kCodeSync, {syncRequest[4], syncRequest[5]}); }

ScriptedPeer::Script AnswerSyncs(std::function<std::vector<Bytes>(const Bytes&)> other) {
    return [other = std::move(other)](const Bytes& request) -> std::vector<Bytes> {
        if (IsSync(request)) return {SyncEcho(request)};
        return other ? other(request) : std::vector<Bytes>{};
    };
}

Bytes ReplyFrame(std::uint8_t requestCode, const Bytes& data) {
    return qmk::BuildFrame(requestCode | qmk::kReplyBit, data);
}

std::vector<Bytes> TableFrames(const std::string& text) {
    Bytes body{0x01};
    body.insert(body.end(), text.begin(), text.end());
    return {ReplyFrame(qmk::kCodeReadFile, body), ReplyFrame(qmk::kCodeReadFile, {0x02})};
}

void ResetLibrary() { dsoResetAllBufferValue(); }

}  // namespace scopetest
