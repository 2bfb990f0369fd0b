// LanguageStore: folder scan, display names and loading of language files.
#include "language_store.h"

#include "zorbel/profile_file.h"

#include <cstdio>

namespace zorbel::language {

namespace {

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// Cuts to `maxChars` without leaving half of a surrogate pair at the end.
void cutTo(std::u16string& text, std::size_t maxChars) {
    if (text.size() <= maxChars) return;
    text.resize(maxChars);
    if (!text.empty() && isHighSurrogate(text.back())) text.pop_back();
}

}  // namespace

bool LanguageStore::setFolder(const std::u16string& folder, const std::u16string& extension) {
    std::lock_guard lock(mutex_);
    folder_ = folder;
    files_.clear();
    root_ = utf16ToUtf8(folder);
    if (root_.empty()) return false;  // no folder: nothing is searched, not even "/"
    if (root_.back() == '/') root_.pop_back();

    ScanResult scan = scanFolderTree(root_, extension, limits_);
    files_ = std::move(scan.files);
    if (scan.queueFull) {
        // The library has no user interface: its message box is a line on stderr.
        std::fputs("Too more folders in the same path!\n", stderr);
        return false;
    }
    return !files_.empty();
}

std::int16_t LanguageStore::fileCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::int16_t>(std::min<std::size_t>(files_.size(), INT16_MAX));
}

std::optional<std::u16string> LanguageStore::fileName(std::size_t index) const {
    std::lock_guard lock(mutex_);
    if (index >= files_.size()) return std::nullopt;
    return files_[index].bareName;
}

std::string LanguageStore::pathOf(std::size_t index) const { return root_ + "/" + files_[index].relativePath; }

std::optional<std::u16string> LanguageStore::languageName(std::size_t index) const {
    std::lock_guard lock(mutex_);
    if (index >= files_.size()) return std::nullopt;
    // A file that cannot be read has no item 8888, like a missing one.
    ProfileFile file;
    std::u16string name;
    if (file.load(pathOf(index)) == ProfileFile::LoadResult::Loaded)
        name = file.getString(u"App", u"8888", u"", kMaxDisplayNameChars);
    if (name.empty()) {
        const std::u16string& bare = files_[index].bareName;
        const auto dot = bare.find(u'.');
        if (dot != std::u16string::npos) name = bare.substr(0, dot);
    }
    return name;
}

bool LanguageStore::loadLocked(const std::string& path) {
    items_.clear();
    loaded_ = false;
    ProfileFile file;
    if (file.load(path) != ProfileFile::LoadResult::Loaded) return false;
    const auto lines = file.sectionLines(u"App", kSectionBufferChars);
    items_.reserve(lines.size());
    for (std::u16string line : lines) {
        // Longer lines than the format allows are cut, so that a caller's
        // buffer of 800 characters always holds a whole item.
        cutTo(line, kMaxLineChars);
        const auto eq = line.find(u'=');
        if (eq == std::u16string::npos)
            items_.push_back({u"", std::move(line)});
        else
            items_.push_back({line.substr(0, eq), line.substr(eq + 1)});
    }
    loaded_ = true;
    return true;
}

bool LanguageStore::loadByIndex(std::size_t index) {
    std::lock_guard lock(mutex_);
    if (index >= files_.size()) return false;
    return loadLocked(pathOf(index));
}

bool LanguageStore::loadByPath(const std::u16string& path) {
    std::lock_guard lock(mutex_);
    const std::string fsPath = utf16ToUtf8(path);
    if (fsPath.empty()) {
        items_.clear();
        loaded_ = false;
        return false;
    }
    return loadLocked(fsPath);
}

std::optional<Item> LanguageStore::item(std::size_t index) const {
    std::lock_guard lock(mutex_);
    if (!loaded_ || index >= items_.size()) return std::nullopt;
    return items_[index];
}

LanguageStore& processStore() {
    static LanguageStore store;
    return store;
}

}  // namespace zorbel::language
