// A private temporary folder (short path under /tmp, so that Unix socket
// paths fit), removed with its contents when the object goes.
#pragma once

#include <string>

namespace zorbel::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    // path() + "/" + name
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace zorbel::test
