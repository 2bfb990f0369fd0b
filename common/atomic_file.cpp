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
std::atomic<unsigned> gTempCounter{0};

// Links followed before a save gives up, as the kernel does (ELOOP).
constexpr int kMaxLinkHops = 40;

// The file a save replaces: `path` with the symbolic links of its last
// component followed (a relative link from the link's folder), so that the
// link stays and its target gets the new content. A dangling link names the
// file to create, as a shell redirection would.
bool FollowLinks(const std::string& path, std::string& target, std::string& error) {
    namespace fs = std::filesystem;
    fs::path at = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(at, ec)) {
            target = at.string();
            return true;
        }
        const fs::path next = fs::read_symlink(at, ec);
        if (ec) {
            error = ec.message();
            return false;
        }
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    error = SystemText(ELOOP);
    return false;
}

const char* KindOfFile(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "a special file";
}

}  // namespace

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Create(const std::string& path) {
    Discard();
    error_.clear();
    buffer_.clear();
    if (!FollowLinks(path, target_, error_)) return false;
    struct stat old {};
    const bool existed = ::stat(target_.c_str(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode)) {
        error_ = SystemText(EISDIR);
        return false;
    }
    // The rename would put a regular file in place of a device node or a
    // FIFO (and whoever uses it); a save is only ever meant for a file.
    if (existed && !S_ISREG(old.st_mode)) {
        error_ = (target_ == path ? std::string("it is ") : "it leads to " + target_ + ", ") + KindOfFile(old.st_mode) +
                 ", not a regular file";
        return false;
    }
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temp_ = target_ + ".~" + std::to_string(::getpid()) + "-" + std::to_string(gTempCounter++) + ".tmp";
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
