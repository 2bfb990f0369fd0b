// Profile (INI) files with the Windows profile-file rules: reading, in-place
// editing and all-or-nothing saving, 8-bit or UTF-16LE.
#include "zorbel/profile_file.h"

#include "zorbel/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace zorbel {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// ---- Encodings --------------------------------------------------------------

// Decodes one UTF-8 sequence at `i`; false when it is not valid (overlong,
// surrogate, beyond U+10FFFF or cut short).
bool decodeOne(std::string_view s, std::size_t& i, char32_t& cp) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    std::size_t n = 0;
    char32_t min = 0;
    if (c < 0x80) {
        cp = c;
        ++i;
        return true;
    }
    if ((c & 0xE0) == 0xC0) {
        n = 1;
        cp = c & 0x1F;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        n = 2;
        cp = c & 0x0F;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        n = 3;
        cp = c & 0x07;
        min = 0x10000;
    } else
        return false;
    if (i + n >= s.size()) return false;
    for (std::size_t k = 1; k <= n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n + 1;
    return true;
}

void appendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

std::u16string decodeFileText(std::string_view bytes, TextEncoding& encoding) {
    std::u16string text;
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        encoding = TextEncoding::Utf16Le;
        text.reserve((bytes.size() - 2) / 2);
        // An odd final byte is half a character: it is dropped.
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        encoding = TextEncoding::Utf8Bom;
        text = utf8ToUtf16(bytes.substr(3));
    } else if (auto strict = decodeUtf8Strict(bytes)) {
        encoding = TextEncoding::Utf8;
        text = std::move(*strict);
    } else {
        // Not UTF-8: keep every byte as one character so that a rewrite gives
        // back the same bytes.
        encoding = TextEncoding::Latin1;
        text.assign(bytes.begin(), bytes.end());
        for (auto& ch : text) ch = static_cast<unsigned char>(ch);
    }
    // A NUL would end the text early in every caller's zero-terminated buffer.
    std::erase(text, u'\0');
    return text;
}

bool encodeFileText(std::u16string_view text, TextEncoding encoding, std::string& out) {
    out.clear();
    switch (encoding) {
    case TextEncoding::Utf16Le:
        out.reserve(2 + 2 * text.size());
        out += "\xFF\xFE";
        for (char16_t ch : text) {
            out.push_back(static_cast<char>(ch & 0xFF));
            out.push_back(static_cast<char>(ch >> 8));
        }
        return true;
    case TextEncoding::Utf8Bom:
        out = "\xEF\xBB\xBF" + utf16ToUtf8(text);
        return true;
    case TextEncoding::Utf8:
        out = utf16ToUtf8(text);
        return true;
    case TextEncoding::Latin1:
        for (char16_t ch : text) {
            if (ch > 0xFF) return false;
            out.push_back(static_cast<char>(ch));
        }
        return true;
    }
    return false;
}

// ---- Line syntax --------------------------------------------------------------

bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == u'\r'; }

std::u16string_view trim(std::u16string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

char16_t foldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

bool sameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldAscii(a[i]) != foldAscii(b[i])) return false;
    return true;
}

bool hasLineBreak(std::u16string_view s) { return s.find_first_of(u"\r\n") != std::u16string_view::npos; }

// The name of a "[name]" line, or nothing for any other line.
std::optional<std::u16string_view> sectionName(std::u16string_view line) {
    line = trim(line);
    if (line.empty() || line.front() != u'[') return std::nullopt;
    const auto close = line.rfind(u']');
    if (close == std::u16string_view::npos || close == 0) return std::nullopt;
    return trim(line.substr(1, close - 1));
}

struct KeyLine {
    std::u16string_view key;
    std::optional<std::u16string_view> value;  // nothing for a line without "="
};

// A key line; nothing for blank lines and comments.
std::optional<KeyLine> keyLine(std::u16string_view line) {
    line = trim(line);
    if (line.empty() || line.front() == u';') return std::nullopt;
    const auto eq = line.find(u'=');
    if (eq == std::u16string_view::npos) return KeyLine{line, std::nullopt};
    return KeyLine{trim(line.substr(0, eq)), trim(line.substr(eq + 1))};
}

std::string errnoText(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

}  // namespace

// ---- Public encoding helpers ----------------------------------------------------

std::optional<std::u16string> decodeUtf8Strict(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        if (!decodeOne(bytes, i, cp)) return std::nullopt;
        appendUtf16(out, cp);
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        if (decodeOne(bytes, i, cp)) {
            appendUtf16(out, cp);
        } else {
            out.push_back(kReplacement);
            ++i;
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

// ---- ProfileFile -------------------------------------------------------------------

ProfileFile::ProfileFile(TextEncoding newFileEncoding) : encoding_(newFileEncoding) {}

ProfileFile::LoadResult ProfileFile::load(const std::string& path, std::string* error) {
    lines_.clear();
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const bool missing = errno == ENOENT || errno == ENOTDIR;
        if (error) *error = errnoText("cannot open", path);
        return missing ? LoadResult::Missing : LoadResult::Failed;
    }
    struct stat st {};
    std::string bytes;
    std::string problem;
    if (::fstat(fd, &st) != 0)
        problem = errnoText("cannot inspect", path);
    else if (!S_ISREG(st.st_mode))
        problem = "not a regular file: " + path;
    else if (static_cast<std::size_t>(st.st_size) > kProfileMaxFileBytes)
        problem = "file too large: " + path;
    else {
        // Read until end of file but never beyond the limit, even when the
        // file grows while it is read.
        char chunk[65536];
        for (;;) {
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                problem = errnoText("cannot read", path);
                break;
            }
            if (n == 0) break;
            bytes.append(chunk, static_cast<std::size_t>(n));
            if (bytes.size() > kProfileMaxFileBytes) {
                problem = "file too large: " + path;
                break;
            }
        }
    }
    ::close(fd);
    if (!problem.empty()) {
        if (error) *error = problem;
        return LoadResult::Failed;
    }

    const std::u16string text = decodeFileText(bytes, encoding_);
    for (std::size_t pos = 0; pos < text.size();) {
        const auto brk = text.find_first_of(u"\r\n", pos);
        if (brk == std::u16string::npos) {
            lines_.push_back({text.substr(pos), u""});
            break;
        }
        std::size_t endLen = 1;
        if (text[brk] == u'\r' && brk + 1 < text.size() && text[brk + 1] == u'\n') endLen = 2;
        lines_.push_back({text.substr(pos, brk - pos), text.substr(brk, endLen)});
        pos = brk + endLen;
    }
    return LoadResult::Loaded;
}

bool ProfileFile::save(const std::string& path, std::string* error) const {
    std::u16string text;
    for (const auto& line : lines_) text += line.text + line.end;
    std::string bytes;
    if (!encodeFileText(text, encoding_, bytes)) {
        if (error) *error = "text cannot be written in the file's 8-bit encoding: " + path;
        return false;
    }

    AtomicFile file;
    if (file.Create(path) && file.Write(bytes) && file.Commit()) return true;
    if (error) *error = "cannot save " + path + ": " + file.Error();
    return false;
}

std::optional<ProfileFile::SectionSpan> ProfileFile::findSection(std::u16string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = sectionName(lines_[i].text);
        if (!name || !sameName(*name, section)) continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && !sectionName(lines_[end].text)) ++end;
        return SectionSpan{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> ProfileFile::findKey(const SectionSpan& span, std::u16string_view key) const {
    for (std::size_t i = span.header + 1; i < span.end; ++i) {
        const auto kl = keyLine(lines_[i].text);
        if (kl && sameName(kl->key, key)) return i;
    }
    return std::nullopt;
}

std::u16string ProfileFile::newLineEnd() const {
    for (const auto& line : lines_)
        if (!line.end.empty()) return line.end;
    return u"\r\n";
}

std::u16string ProfileFile::getString(std::u16string_view section, std::u16string_view key,
                                      std::u16string_view fallback, std::size_t maxChars) const {
    std::u16string_view value = fallback;
    if (const auto span = findSection(section)) {
        if (const auto at = findKey(*span, key)) {
            if (const auto v = keyLine(lines_[*at].text)->value) value = *v;
        }
    }
    value = trim(value);
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    if (value.size() > maxChars) {
        value = value.substr(0, maxChars);
        // Half of a surrogate pair is no character.
        if (!value.empty() && value.back() >= 0xD800 && value.back() <= 0xDBFF) value.remove_suffix(1);
    }
    return std::u16string(value);
}

std::string ProfileFile::getString(std::string_view section, std::string_view key, std::string_view fallback,
                                   std::size_t maxChars) const {
    return utf16ToUtf8(getString(utf8ToUtf16(section), utf8ToUtf16(key), utf8ToUtf16(fallback), maxChars));
}

std::vector<std::u16string> ProfileFile::sectionLines(std::u16string_view section, std::size_t bufferChars) const {
    std::vector<std::u16string> out;
    const auto span = findSection(section);
    if (!span) return out;
    std::size_t used = 1;  // the final terminator
    for (std::size_t i = span->header + 1; i < span->end; ++i) {
        const auto kl = keyLine(lines_[i].text);
        if (!kl) continue;
        std::u16string line(kl->key);
        if (kl->value) line += u'=' + std::u16string(*kl->value);
        if (used + line.size() + 1 > bufferChars) break;
        used += line.size() + 1;
        out.push_back(std::move(line));
    }
    return out;
}

bool ProfileFile::hasSection(std::u16string_view section) const { return findSection(section).has_value(); }

bool ProfileFile::setString(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value)) return false;
    if (trim(section).empty() || section.find(u']') != std::u16string_view::npos) return false;
    const auto k = trim(key);
    if (k.empty() || k.find(u'=') != std::u16string_view::npos || k.front() == u'[' || k.front() == u';') return false;

    const std::u16string eol = newLineEnd();
    if (const auto span = findSection(section)) {
        if (const auto at = findKey(*span, k)) {
            // Keep the key's own spelling; only the value changes.
            auto& line = lines_[*at];
            line.text = std::u16string(keyLine(line.text)->key) + u'=' + std::u16string(value);
            return true;
        }
        // After the section's last key, so that comments and blank lines that
        // lead into the next section stay with it.
        std::size_t after = span->header;
        for (std::size_t i = span->header + 1; i < span->end; ++i)
            if (keyLine(lines_[i].text)) after = i;
        if (lines_[after].end.empty()) lines_[after].end = eol;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after + 1),
                      Line{std::u16string(k) + u'=' + std::u16string(value), eol});
        return true;
    }
    if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = eol;
    lines_.push_back({u"[" + std::u16string(section) + u"]", eol});
    lines_.push_back({std::u16string(k) + u'=' + std::u16string(value), eol});
    return true;
}

bool ProfileFile::setString(std::string_view section, std::string_view key, std::string_view value) {
    return setString(utf8ToUtf16(section), utf8ToUtf16(key), utf8ToUtf16(value));
}

}  // namespace zorbel
