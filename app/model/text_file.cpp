// Line reader and atomic writer of the arbitrary data files.
#include "zorbel/model/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace zorbel {
namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;

std::string SystemText(int error) { return std::strerror(error); }

// Cuts the line that ends at `brk` (a '\n' or the end of the text) out of
// `text` from `pos`, without its CR LF or LF.
std::string_view LineBefore(std::string_view text, std::size_t pos, std::size_t brk) {
    std::string_view line = text.substr(pos, brk - pos);
    if (brk < text.size() && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

std::atomic<unsigned> g_tempCounter{0};

}  // namespace

// ---- StringLines ------------------------------------------------------------------

bool StringLines::NextLine(std::string& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t brk = text_.find('\n', pos_);
    if (brk == std::string_view::npos) brk = text_.size();
    line.assign(LineBefore(text_, pos_, brk));
    pos_ = brk + 1;
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
        error_ = "Not a regular file";
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
        const std::size_t brk = buffer_.find('\n', searchFrom);
        if (brk != std::string::npos || eof_) {
            if (brk == std::string::npos && pos_ >= buffer_.size()) return false;  // nothing left
            const std::size_t end = brk == std::string::npos ? buffer_.size() : brk;
            if (end - pos_ > kMaxTextLineBytes) break;
            line.assign(LineBefore(buffer_, pos_, end));
            pos_ = end + 1;
            return true;
        }
        if (buffer_.size() - pos_ > kMaxTextLineBytes) break;
        // Drop what was handed out before reading more, so the buffer stays
        // one chunk plus one line long.
        buffer_.erase(0, pos_);
        pos_ = 0;
        searchFrom = buffer_.size();
        if (!Fill() && Failed()) return false;
    }
    error_ = "Line longer than " + std::to_string(kMaxTextLineBytes) + " bytes";
    return false;
}

// ---- AtomicTextFile --------------------------------------------------------------

AtomicTextFile::~AtomicTextFile() { Discard(); }

bool AtomicTextFile::Create(const std::string& path) {
    Discard();
    error_.clear();
    buffer_.clear();
    target_ = path;
    // Written through a symbolic link rather than replacing the link.
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        const auto resolved = std::filesystem::weakly_canonical(path, ec);
        if (!ec) target_ = resolved.string();
    }
    struct stat old {};
    const bool existed = ::stat(target_.c_str(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode)) {
        error_ = SystemText(EISDIR);
        return false;
    }
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temp_ = target_ + ".~" + std::to_string(::getpid()) + "-" + std::to_string(g_tempCounter++) + ".tmp";
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        error_ = SystemText(errno);
        temp_.clear();
        return false;
    }
    if (existed && ::fchmod(fd_, old.st_mode & 07777) != 0) {
        error_ = SystemText(errno);
        Discard();
        return false;
    }
    return true;
}

bool AtomicTextFile::Write(std::string_view text) {
    if (fd_ < 0 || !error_.empty()) return false;
    buffer_.append(text);
    return buffer_.size() < kChunkBytes || Flush();
}

bool AtomicTextFile::Flush() {
    for (std::size_t done = 0; done < buffer_.size();) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = SystemText(n < 0 ? errno : EIO);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
    return true;
}

bool AtomicTextFile::Commit() {
    if (fd_ < 0) {
        if (error_.empty()) error_ = SystemText(EBADF);
        return false;
    }
    bool ok = error_.empty() && Flush();
    // On disk before the rename makes it the file.
    if (ok && ::fsync(fd_) != 0) {
        error_ = SystemText(errno);
        ok = false;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && ok) {
        error_ = SystemText(errno);
        ok = false;
    }
    if (ok && ::rename(temp_.c_str(), target_.c_str()) != 0) {
        error_ = SystemText(errno);
        ok = false;
    }
    if (!ok) ::unlink(temp_.c_str());
    temp_.clear();
    return ok;
}

void AtomicTextFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

}  // namespace zorbel
