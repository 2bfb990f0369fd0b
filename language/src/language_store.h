// LanguageStore: the language library's state (the listed files and the
// loaded items) and its operations, behind one lock.
#pragma once

#include "folder_scan.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zorbel::language {

// Limits of the file format, in UTF-16 characters without terminator.
inline constexpr std::size_t kMaxLineChars = 799;          // "number=text"
inline constexpr std::size_t kSectionBufferChars = 18000;  // with every terminator
inline constexpr std::size_t kMaxDisplayNameChars = 259;

struct Item {
    std::u16string number;  // decimal digits as written in the file
    std::u16string text;
};

class LanguageStore {
public:
    explicit LanguageStore(ScanLimits limits = {}) : limits_(limits) {}

    // Scans `folder` (a trailing "/" ignored) for files ending in `extension`;
    // true when at least one is listed. The loaded items stay.
    bool setFolder(const std::u16string& folder, const std::u16string& extension);
    std::int16_t fileCount() const;
    // Nothing when the index is not below the count.
    std::optional<std::u16string> fileName(std::size_t index) const;
    std::optional<std::u16string> languageName(std::size_t index) const;

    bool loadByIndex(std::size_t index);
    bool loadByPath(const std::u16string& path);
    // Nothing when no file is loaded or the index is past the end.
    std::optional<Item> item(std::size_t index) const;

private:
    bool loadLocked(const std::string& path);
    std::string pathOf(std::size_t index) const;

    mutable std::mutex mutex_;
    ScanLimits limits_;
    std::u16string folder_;  // as given, unchanged
    std::string root_;       // file-system path of the folder, trailing "/" removed
    std::vector<FoundFile> files_;
    std::vector<Item> items_;
    bool loaded_ = false;
};

// The one store of the process.
LanguageStore& processStore();

}  // namespace zorbel::language
