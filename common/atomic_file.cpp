// Whole-or-nothing file replacement (see atomic_file.h).
#include "zorbel/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace zorbel {
namespace {

// Bytes collected before they are written out.
constexpr std::size_t kChunkBytes = 64 * 1024;

std::string SystemText(int error) { return std::strerror(error); }

// Distinguishes temporary files of several saves in one process.
std::atomic<unsigned> g_tempCounter{0};

}  // namespace

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Create(const std::string& path) {
    Discard();
    error_.clear();
    buffer_.clear();
    target_ = path;
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

bool AtomicFile::Write(std::string_view bytes) {
    if (fd_ < 0 || !error_.empty()) return false;
    buffer_.append(bytes);
    return buffer_.size() < kChunkBytes || Flush();
}

bool AtomicFile::Flush() {
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

bool AtomicFile::Commit() {
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

void AtomicFile::Discard() {
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
