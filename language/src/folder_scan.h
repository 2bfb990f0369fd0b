// Breadth-first search of a folder tree for language files.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zorbel::language {

// One file found by the scan.
struct FoundFile {
    std::u16string bareName;   // name and extension, as shown to the user
    std::string relativePath;  // below the scan root, file-system bytes ("sub/x.lug")
};

struct ScanLimits {
    // Circular queue of pending folders: one slot always stays free, so at
    // most slots - 1 folders (the one being searched included) are pending.
    std::size_t queueSlots = 4160;
    // The count is reported as a signed 16-bit value: more names could not be
    // counted or indexed.
    std::size_t maxFiles = 32767;
};

struct ScanResult {
    std::vector<FoundFile> files;  // sorted unless queueFull
    bool queueFull = false;        // the scan stopped: too many folders pending
};

// Lists the files below `root` (no trailing separator; "" is the file-system
// root) whose names end in `extension`, compared without regard to the case of
// A-Z; an empty extension or "*" lists every file. Symbolic links to folders
// are not followed and a folder is searched at most once, so the scan ends on
// any tree. Folders that cannot be read are skipped. Never throws except
// std::bad_alloc.
ScanResult scanFolderTree(const std::string& root, const std::u16string& extension, const ScanLimits& limits = {});

// Ascending, comparing A-Z as a-z; stable for names that compare equal.
void sortByBareName(std::vector<FoundFile>& files);

}  // namespace zorbel::language
