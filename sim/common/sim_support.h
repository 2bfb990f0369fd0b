// What both simulators share: checks of their common options and the rules
// of their virtual device's socket file (never take over a socket another
// simulator serves, and remove only the file they made themselves).
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace zorbel::sim {

// "--usb unix:PATH": the path into `path`; false with the reason in `why`.
bool ParseSocketOption(std::string_view value, std::string& path, std::string& why);

// "--ready-fd N": true when N is an open descriptor; else false with the reason in `why`.
bool CheckOpenDescriptor(int fd, std::string& why);

// True when something accepts connections on the seqpacket socket at `path`.
bool SocketAnswers(const std::string& path);

// Identity of a socket file, taken after bind, so that a simulator removes
// only its own socket: one that has been replaced belongs to someone else.
class SocketFile {
public:
    void Remember(const std::string& path);  // call right after bind
    void RemoveIfOurs() const;

private:
    std::string path_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    bool known_ = false;
};

}  // namespace zorbel::sim
