// Breadth-first folder scan with a fixed circular queue of pending folders.
#include "folder_scan.h"

#include "zorbel/profile_file.h"

#include <dirent.h>
#include <sys/stat.h>
#include <algorithm>
#include <memory>
#include <set>
#include <utility>

namespace zorbel::language {

namespace {

char16_t foldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

// The pattern is "*." + extension; the dot is not compared, only the
// extension's characters against the end of the name.
bool nameMatches(std::u16string_view name, std::u16string_view extension) {
    if (extension == u"*") return true;
    if (name.size() < extension.size()) return false;
    const auto tail = name.substr(name.size() - extension.size());
    return std::equal(tail.begin(), tail.end(), extension.begin(),
                      [](char16_t a, char16_t b) { return foldAscii(a) == foldAscii(b); });
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

}  // namespace

void sortByBareName(std::vector<FoundFile>& files) {
    std::stable_sort(files.begin(), files.end(), [](const FoundFile& a, const FoundFile& b) {
        return std::lexicographical_compare(a.bareName.begin(), a.bareName.end(), b.bareName.begin(), b.bareName.end(),
                                            [](char16_t x, char16_t y) { return foldAscii(x) < foldAscii(y); });
    });
}

ScanResult scanFolderTree(const std::string& root, const std::u16string& extension, const ScanLimits& limits) {
    ScanResult result;
    const std::size_t slots = std::max<std::size_t>(limits.queueSlots, 2);
    std::vector<std::string> queue(slots);  // relative paths; "" is the root itself
    std::size_t head = 0;
    std::size_t tail = 1;
    // (device, inode) of every folder queued: a bind mount of an ancestor
    // cannot make the scan go round.
    std::set<std::pair<dev_t, ino_t>> seen;
    struct stat rootStat {};
    if (::stat(root.empty() ? "/" : root.c_str(), &rootStat) == 0) seen.emplace(rootStat.st_dev, rootStat.st_ino);

    while (head != tail) {
        const std::string relative = std::move(queue[head]);
        const std::string folder = relative.empty() ? root : root + "/" + relative;
        std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "/" : folder.c_str()));
        while (dir) {
            const dirent* entry = ::readdir(dir.get());
            if (!entry) break;
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            const std::string full = folder + "/" + name;
            const std::string childRelative = relative.empty() ? name : relative + "/" + name;

            // lstat: a link to a folder is not a folder here and is not followed.
            struct stat st {};
            if (::lstat(full.c_str(), &st) != 0) continue;
            if (S_ISDIR(st.st_mode)) {
                if (!seen.emplace(st.st_dev, st.st_ino).second) continue;
                queue[tail] = childRelative;
                tail = (tail + 1) % slots;
                if (tail == head) {
                    result.queueFull = true;
                    return result;
                }
                continue;
            }
            // Regular files, also through a link; a link to a folder, a
            // dangling link and special files are not language files.
            if (S_ISLNK(st.st_mode) && (::stat(full.c_str(), &st) != 0)) continue;
            if (!S_ISREG(st.st_mode)) continue;
            std::u16string bare = utf8ToUtf16(name);
            if (!nameMatches(bare, extension)) continue;
            if (result.files.size() >= limits.maxFiles) continue;
            result.files.push_back({std::move(bare), childRelative});
        }
        head = (head + 1) % slots;
    }
    sortByBareName(result.files);
    return result;
}

}  // namespace zorbel::language
