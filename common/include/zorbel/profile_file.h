// Profile (INI) text files with the Windows profile-file rules, for the
// language files and the setup files.
//
// The rules, as the Windows profile functions apply them:
//   - a section starts at a line "[name]" (blanks around it allowed); section
//     and key names are matched without regard to the case of A-Z; the first
//     section of a name wins, and within it the first key of a name;
//   - a key line is "key=value": the key is the text before the first "=",
//     the value the text after it, both with surrounding blanks removed;
//   - lines whose first non-blank character is ";" are comments;
//   - writing a key replaces the value of an existing key in place, appends
//     a new key after the last non-blank line of its section, and appends a
//     missing section with its key at the end of the file;
//   - every other line (comments, blank lines, other sections, line ends) is
//     written back byte for byte.
//
// Files are 8-bit (UTF-8, or Latin-1 when the bytes are not valid UTF-8) or
// UTF-16LE with byte-order mark; a file keeps its encoding when rewritten.
// Saving writes a temporary file beside the target and renames it over the
// target, so a file is replaced completely or not at all. NUL characters in a
// file are dropped when it is read: every text handed out is zero-free.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorbel {

enum class TextEncoding {
    Utf8,     // 8-bit, no byte-order mark
    Utf8Bom,  // 8-bit with EF BB BF
    Latin1,   // 8-bit, one byte per character (files that are not valid UTF-8)
    Utf16Le,  // FF FE, then little-endian 16-bit units
};

// Encoding helpers, also used for file names and paths.
// Strict UTF-8 decoding: nothing when the bytes are not valid UTF-8.
std::optional<std::u16string> decodeUtf8Strict(std::string_view bytes);
// Lenient conversions: each invalid byte or lone surrogate becomes U+FFFD.
std::u16string utf8ToUtf16(std::string_view bytes);
std::string utf16ToUtf8(std::u16string_view text);

// Upper limit of a file this module reads (bytes); larger files fail to load
// rather than exhaust memory.
inline constexpr std::size_t kProfileMaxFileBytes = 16u * 1024u * 1024u;

class ProfileFile {
public:
    enum class LoadResult {
        Loaded,   // the file was read
        Missing,  // no such file: the profile is empty (a save creates it)
        Failed,   // exists but not readable, not a regular file, or too large
    };

    // `newFileEncoding` is used when saving a profile that was not loaded
    // from an existing file.
    explicit ProfileFile(TextEncoding newFileEncoding = TextEncoding::Utf8);

    // Replaces the content with the file at `path` (a UTF-8 file-system path).
    // Never blocks on special files: only regular files are read. After
    // Failed the content is empty: a writer must not save it over the file.
    LoadResult load(const std::string& path, std::string* error = nullptr);

    // Writes the content to `path` through a temporary file in the same folder
    // and a rename. False (old file untouched, temporary removed) on any
    // failure, with the reason in `error`. A symbolic link is written through.
    bool save(const std::string& path, std::string* error = nullptr) const;

    TextEncoding encoding() const { return encoding_; }

    // GetPrivateProfileString: the key's value, blanks removed, then one pair
    // of enclosing quotes (" or ') removed, then cut to `maxChars` characters
    // (never between the halves of a surrogate pair); `fallback`, treated the
    // same way, when the section or the key is missing.
    std::u16string getString(std::u16string_view section, std::u16string_view key, std::u16string_view fallback,
                             std::size_t maxChars) const;
    std::string getString(std::string_view section, std::string_view key, std::string_view fallback,
                          std::size_t maxChars) const;

    // GetPrivateProfileSection: the lines of the section in file order, each
    // "key=value" with blanks around key and value removed ("key" alone for
    // a line without "="); comments and blank lines are left out. The lines
    // pass through a buffer of `bufferChars` characters that holds every line
    // with its terminator and one final terminator: only whole lines that fit
    // are returned, and the first line that does not fit ends the list.
    std::vector<std::u16string> sectionLines(std::u16string_view section, std::size_t bufferChars) const;

    bool hasSection(std::u16string_view section) const;

    // WritePrivateProfileString. Refuses (false, nothing changed) a section,
    // key or value that would change the file's structure: line breaks
    // anywhere, "]" in a section, "=" or a leading "[" or ";" in a key, or an
    // empty or blank section or key.
    bool setString(std::u16string_view section, std::u16string_view key, std::u16string_view value);
    bool setString(std::string_view section, std::string_view key, std::string_view value);

private:
    struct Line {
        std::u16string text;  // without its line end
        std::u16string end;   // "\r\n", "\n", "\r" or "" (last line without one)
    };
    struct SectionSpan {
        std::size_t header;  // index of the "[name]" line
        std::size_t end;     // one past the section's last line
    };

    std::optional<SectionSpan> findSection(std::u16string_view section) const;
    std::optional<std::size_t> findKey(const SectionSpan& span, std::u16string_view key) const;
    std::u16string newLineEnd() const;

    std::vector<Line> lines_;
    TextEncoding encoding_;
};

}  // namespace zorbel
