// A file that is replaced completely or not at all: the new version is
// written to a temporary file in the same folder and renamed over the target
// once it is on disk, so a reader (or a crash) sees the old file or the whole
// new one, never a part. Used by every writer of setup, data and profile files.
#pragma once

#include <string>
#include <string_view>

namespace zorbel {

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();  // without a successful Commit the temporary file is removed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file for `path`. A symbolic link is written
    // through (its target is replaced, not the link; a dangling link's
    // target is created); an existing file keeps its permission bits. A
    // target that exists and is not a regular file (a device node, a FIFO,
    // a socket, a folder) is refused. False with the reason in Error().
    bool Create(const std::string& path);
    // Buffers and writes `bytes`; false once anything failed.
    bool Write(std::string_view bytes);
    // Writes what is buffered, flushes it to disk, renames it over the target.
    // False with the system's text in Error(); the target is then untouched.
    bool Commit();
    const std::string& Error() const { return error_; }

private:
    bool Flush();
    void Discard();

    int fd_ = -1;
    std::string target_;
    std::string temp_;
    std::string buffer_;
    std::string error_;
};

}  // namespace zorbel
