// Option checks and socket-file rules of the simulators (see sim_support.h).
#include "sim_support.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zorbel::sim {

bool ParseSocketOption(std::string_view value, std::string& path, std::string& why) {
    constexpr std::string_view kPrefix = "unix:";
    if (value.substr(0, kPrefix.size()) != kPrefix) {
        why = "must be unix:PATH, the path of the socket to serve";
        return false;
    }
    const std::string_view rest = value.substr(kPrefix.size());
    if (rest.empty()) {
        why = "the socket path after unix: is empty";
        return false;
    }
    constexpr std::size_t kMaxPath = sizeof(sockaddr_un{}.sun_path) - 1;
    if (rest.size() > kMaxPath) {
        why = "the socket path has " + std::to_string(rest.size()) + " bytes; the system takes at most " +
              std::to_string(kMaxPath);
        return false;
    }
    path = std::string(rest);
    return true;
}

bool CheckOpenDescriptor(int fd, std::string& why) {
    if (::fcntl(fd, F_GETFD) >= 0) return true;
    why = std::string("not an open file descriptor: ") + std::strerror(errno);
    return false;
}

bool SocketAnswers(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool live = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return live;
}

void SocketFile::Remember(const std::string& path) {
    struct stat info {};
    path_ = path;
    known_ = ::lstat(path.c_str(), &info) == 0;
    device_ = info.st_dev;
    inode_ = info.st_ino;
}

void SocketFile::RemoveIfOurs() const {
    struct stat info {};
    if (known_ && ::lstat(path_.c_str(), &info) == 0 && info.st_dev == device_ && info.st_ino == inode_)
        ::unlink(path_.c_str());
}

}  // namespace zorbel::sim
