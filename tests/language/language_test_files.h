// Temporary language-file trees for the language library's tests.
#pragma once

#include "zorbel/profile_file.h"

#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace zorbel::test {

// A path as the library's UTF-16 interface takes it.
inline std::u16string U16(const std::filesystem::path& p) { return Utf8ToUtf16(p.string()); }

// UTF-16LE bytes with byte-order mark, as language files are written.
inline std::string Utf16File(std::u16string_view text) {
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

// A fresh folder below /tmp, removed with everything in it afterwards.
class TempTree : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zorbel-lang-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    // Writes `bytes` to root/relative, creating the folders on the way.
    std::string Put(const std::string& relative, const std::string& bytes = "") const {
        const auto p = root_ / relative;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
    std::string Mkdir(const std::string& relative) const {
        std::filesystem::create_directories(root_ / relative);
        return (root_ / relative).string();
    }

    std::filesystem::path root_;
};

}  // namespace zorbel::test
