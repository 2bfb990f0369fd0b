// A scratch file for fuzz targets whose code under test reads a path: one
// file per process on tmpfs when there is one, its name ending as the reader
// needs (".csv", ".lug"), rewritten for every input.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace zorbel::fuzz {

class ScratchFile {
public:
    // A fresh folder and in it "input" + `suffix`; aborts when neither
    // /dev/shm nor /tmp takes one.
    void Create(std::string_view suffix, std::string_view name = "input") {
        char folder[] = "/dev/shm/zorbel-fuzz-XXXXXX";
        char fallback[] = "/tmp/zorbel-fuzz-XXXXXX";
        const char* made = mkdtemp(folder);
        if (made == nullptr) made = mkdtemp(fallback);
        if (made == nullptr) std::abort();
        folder_ = made;
        path_ = folder_ + "/" + std::string(name) + std::string(suffix);
    }
    const std::string& Folder() const { return folder_; }
    const std::string& Path() const { return path_; }

    // Replaces the file's content with `bytes`.
    void Write(std::string_view bytes) const {
        const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) std::abort();
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0) std::abort();
            done += static_cast<std::size_t>(n);
        }
        close(fd);
    }

private:
    std::string folder_;
    std::string path_;
};

}  // namespace zorbel::fuzz
