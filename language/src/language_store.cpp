// LanguageStore: folder scan, display names and loading of language files.
#include "language_store.h"

#include "zorbel/profile_file.h"

#include <cstdio>

namespace zorbel::language {

namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// Cuts to `maxChars` without leaving half of a surrogate pair at the end.
void CutTo(std::u16string& text, std::size_t maxChars) {
    if (text.size() <= maxChars) return;
    text.resize(maxChars);
    if (!text.empty() && IsHighSurrogate(text.back())) text.pop_back();
}

}  // namespace

bool LanguageStore::SetFolder(const std::u16string& folder, const std::u16string& extension) {
    std::lock_guard lock(mutex_);
    folder_ = folder;
    files_.clear();
    root_ = Utf16ToUtf8(folder);
    if (root_.empty()) return false;  // no folder: nothing is searched, not even "/"
    if (root_.back() == '/') root_.pop_back();

    ScanResult scan = ScanFolderTree(root_, extension, limits_);
    files_ = std::move(scan.files);
    if (scan.queueFull) {
        // The library has no user interface: its message box is a line on stderr.
        std::fputs("Too more folders in the same path!\n", stderr);
        return false;
    }
    return !files_.empty();
}

std::int16_t LanguageStore::FileCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::int16_t>(std::min<std::size_t>(files_.size(), INT16_MAX));
}

std::optional<std::u16string> LanguageStore::FileName(std::size_t index) const {
    std::lock_guard lock(mutex_);
    if (index >= files_.size()) return std::nullopt;
    return files_[index].bareName;
}

std::string LanguageStore::PathOf(std::size_t index) const { return root_ + "/" + files_[index].relativePath; }

std::optional<std::u16string> LanguageStore::LanguageName(std::size_t index) const {
    std::lock_guard lock(mutex_);
    if (index >= files_.size()) return std::nullopt;
    // A file that cannot be read has no item 8888, like a missing one.
    ProfileFile file;
    std::u16string name;
    if (file.Load(PathOf(index)) == ProfileFile::LoadResult::Loaded)
        name = file.GetString(u"App", u"8888", u"", kMaxDisplayNameChars);
    if (name.empty()) {
        const std::u16string& bare = files_[index].bareName;
        const auto dot = bare.find(u'.');
        if (dot != std::u16string::npos) name = bare.substr(0, dot);
    }
    return name;
}

bool LanguageStore::LoadLocked(const std::string& path) {
    items_.clear();
    loaded_ = false;
    ProfileFile file;
    if (file.Load(path) != ProfileFile::LoadResult::Loaded) return false;
    const auto lines = file.SectionLines(u"App", kSectionBufferChars);
    items_.reserve(lines.size());
    for (std::u16string line : lines) {
        // Longer lines than the format allows are cut, so that a caller's
        // buffer of 800 characters always holds a whole item.
        CutTo(line, kMaxLineChars);
        const auto eq = line.find(u'=');
        if (eq == std::u16string::npos)
            items_.push_back({u"", std::move(line)});
        else
            items_.push_back({line.substr(0, eq), line.substr(eq + 1)});
    }
    loaded_ = true;
    return true;
}

bool LanguageStore::LoadByIndex(std::size_t index) {
    std::lock_guard lock(mutex_);
    if (index >= files_.size()) return false;
    return LoadLocked(PathOf(index));
}

bool LanguageStore::LoadByPath(const std::u16string& path) {
    std::lock_guard lock(mutex_);
    const std::string fsPath = Utf16ToUtf8(path);
    if (fsPath.empty()) {
        items_.clear();
        loaded_ = false;
        return false;
    }
    return LoadLocked(fsPath);
}

std::optional<Item> LanguageStore::ItemAt(std::size_t index) const {
    std::lock_guard lock(mutex_);
    if (!loaded_ || index >= items_.size()) return std::nullopt;
    return items_[index];
}

LanguageStore& ProcessStore() {
    static LanguageStore store;
    return store;
}

}  // namespace zorbel::language
