// Line reader of the arbitrary data files.
#include "zorbel/model/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "zorbel/model/file_texts.h"

namespace zorbel {
namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;

std::string SystemText(int error) { return std::strerror(error); }

constexpr std::string_view kLineEnds = "\r\n";

// Length of the line end at `brk` (a CR or LF of `text`): 2 for CR LF, else 1.
std::size_t LineEndLength(std::string_view text, std::size_t brk) {
    return text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n' ? 2 : 1;
}

}  // namespace

// ---- StringLines ------------------------------------------------------------------

bool StringLines::NextLine(std::string& line) {
    if (pos_ >= text_.size()) return false;
    const std::size_t brk = text_.find_first_of(kLineEnds, pos_);
    if (brk == std::string::npos) {
        line.assign(text_, pos_);
        pos_ = text_.size();
        return true;
    }
    line.assign(text_, pos_, brk - pos_);
    pos_ = brk + LineEndLength(text_, brk);
    return true;
}

// ---- FileLines ----------------------------------------------------------------------

FileLines::~FileLines() {
    if (fd_ >= 0) ::close(fd_);
}

bool FileLines::Open(const std::string& path) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = SystemText(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        error_ = SystemText(errno);
    } else if (S_ISDIR(st.st_mode)) {
        error_ = SystemText(EISDIR);
    } else if (!S_ISREG(st.st_mode)) {
        error_ = FileTextOf(FileText::NotRegularFile);
    }
    if (!error_.empty()) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

// Appends the next chunk of the file to the buffer; false at the end or on error.
bool FileLines::Fill() {
    if (eof_ || fd_ < 0) return false;
    char chunk[kChunkBytes];
    for (;;) {
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error_ = SystemText(errno);
            eof_ = true;
            return false;
        }
        if (n == 0) {
            eof_ = true;
            return false;
        }
        buffer_.append(chunk, static_cast<std::size_t>(n));
        return true;
    }
}

bool FileLines::NextLine(std::string& line) {
    if (Failed()) return false;
    std::size_t searchFrom = pos_;
    for (;;) {
        std::size_t brk = buffer_.find_first_of(kLineEnds, searchFrom);
        // A CR that ends the buffer may be the first half of a CR LF: read on.
        if (brk != std::string::npos && brk + 1 == buffer_.size() && buffer_[brk] == '\r' && !eof_)
            brk = std::string::npos;
        if (brk != std::string::npos || eof_) {
            if (brk == std::string::npos && pos_ >= buffer_.size()) return false;  // nothing left
            const std::size_t end = brk == std::string::npos ? buffer_.size() : brk;
            if (end - pos_ > kMaxTextLineBytes) break;
            line.assign(buffer_, pos_, end - pos_);
            pos_ = end == buffer_.size() ? end : end + LineEndLength(buffer_, end);
            return true;
        }
        if (buffer_.size() - pos_ > kMaxTextLineBytes) break;
        // Drop what was handed out before reading more, so the buffer stays
        // one chunk plus one line long.
        buffer_.erase(0, pos_);
        pos_ = 0;
        searchFrom = !buffer_.empty() && buffer_.back() == '\r' ? buffer_.size() - 1 : buffer_.size();
        if (!Fill() && Failed()) return false;
    }
    error_ = FileTextOf(FileText::LineTooLong, {std::to_string(kMaxTextLineBytes)});
    return false;
}

}  // namespace zorbel
