// Small helpers of the file tests: whole files as text, CR LF lines, the
// pending commands as (code, channel) pairs, and a cap on the size of files
// the process may write (to make a save fail part-way, even as root).
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "zorbel/model/device_settings.h"

namespace zorbel::test {

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Split at every CR LF; a text ending with CR LF gives no empty last line.
inline std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto brk = text.find("\r\n", pos);
        if (brk == std::string::npos) {
            lines.push_back(text.substr(pos));
            break;
        }
        lines.push_back(text.substr(pos, brk - pos));
        pos = brk + 2;
    }
    return lines;
}

using CodeAndChannel = std::pair<std::uint16_t, std::int32_t>;

inline std::vector<CodeAndChannel> Pending(const DeviceSettings& settings) {
    std::vector<CodeAndChannel> out;
    for (const InstrumentCommand& c : settings.PendingCommands()) out.emplace_back(c.code, c.channel);
    return out;
}

inline std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    return names;
}

// While it lives, files this process writes cannot grow beyond `bytes`
// (writes beyond fail with EFBIG instead of raising SIGXFSZ).
class FileSizeCap {
public:
    explicit FileSizeCap(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &previous_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit cap = previous_;
        cap.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &cap);
    }
    ~FileSizeCap() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeCap(const FileSizeCap&) = delete;
    FileSizeCap& operator=(const FileSizeCap&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = SIG_DFL;
};

}  // namespace zorbel::test
