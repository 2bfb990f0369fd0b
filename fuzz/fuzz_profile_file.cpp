// The profile-file reader (language files, setup files), 8-bit or UTF-16LE:
// a file as it may lie on disk is loaded, read by section and key, edited,
// saved and loaded again. What was not edited must come back byte for byte.
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "zorbel/profile_file.h"

namespace {

using zorbel::ProfileFile;
using zorbel::TextEncoding;

int g_memfd = -1;        // the input, as a regular file without touching the disk
std::string g_savePath;  // where the edited profile is saved (tmpfs when there is one)

const std::array<std::u16string_view, 5> kSections = {u"App", u"Channel_1", u"Standard_2", u"Current",
                                                      u"\u00e9t\u00e9"};
const std::array<std::u16string_view, 4> kKeys = {u"8888", u"Frequency(Hz)", u"Channel", u"Type"};

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// True when loading and saving must give back exactly these bytes: nothing
// was dropped (NULs, an odd last byte) or replaced (invalid UTF-8 after a BOM).
bool KeepsBytes(std::string_view bytes, TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Utf16Le:
        if (bytes.size() % 2 != 0) return false;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            if (bytes[i] == '\0' && bytes[i + 1] == '\0') return false;
        return true;
    case TextEncoding::Utf8Bom:
        return bytes.find('\0') == std::string_view::npos && zorbel::decodeUtf8Strict(bytes.substr(3)).has_value();
    case TextEncoding::Utf8:
    case TextEncoding::Latin1:
        return bytes.find('\0') == std::string_view::npos;
    }
    return false;
}

std::vector<std::u16string> Snapshot(const ProfileFile& profile) {
    std::vector<std::u16string> values;
    for (auto section : kSections)
        for (auto key : kKeys) values.push_back(profile.getString(section, key, u"(none)", 1000));
    return values;
}

bool Load(ProfileFile& profile, std::string_view bytes) {
    if (ftruncate(g_memfd, 0) != 0 || lseek(g_memfd, 0, SEEK_SET) != 0) std::abort();
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = write(g_memfd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) std::abort();
        done += static_cast<std::size_t>(n);
    }
    return profile.load("/proc/self/fd/" + std::to_string(g_memfd)) == ProfileFile::LoadResult::Loaded;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_memfd = memfd_create("zorbel-fuzz-profile", MFD_CLOEXEC);
    char folder[] = "/dev/shm/zorbel-fuzz-XXXXXX";
    char fallback[] = "/tmp/zorbel-fuzz-XXXXXX";
    const char* made = mkdtemp(folder);
    if (made == nullptr) made = mkdtemp(fallback);
    if (g_memfd < 0 || made == nullptr) std::abort();
    g_savePath = std::string(made) + "/profile.ini";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ProfileFile profile;
    FUZZ_CHECK(Load(profile, bytes));
    const TextEncoding encoding = profile.encoding();

    for (auto section : kSections) {
        for (auto key : kKeys) {
            const std::u16string whole = profile.getString(section, key, u" 'fallback' ", SIZE_MAX);
            FUZZ_CHECK(whole.find(u'\0') == std::u16string::npos);
            for (std::size_t maxChars : {std::size_t{0}, std::size_t{1}, std::size_t{7}, std::size_t{799}}) {
                const std::u16string value = profile.getString(section, key, u" 'fallback' ", maxChars);
                FUZZ_CHECK(whole.starts_with(value));
                if (whole.size() <= maxChars) {
                    FUZZ_CHECK(value == whole);
                } else {
                    // Cut to the limit, or one less when that ends in a high surrogate,
                    // and never between the halves of a pair.
                    FUZZ_CHECK(value.size() == maxChars ||
                               (value.size() + 1 == maxChars && IsHigh(whole[value.size()])));
                    FUZZ_CHECK(value.empty() || !(IsHigh(value.back()) && IsLow(whole[value.size()])));
                }
            }
        }
        const std::size_t buffer = 1 + size % 300;
        std::size_t used = 1;
        for (const auto& line : profile.sectionLines(section, buffer)) {
            FUZZ_CHECK(line.find(u'\0') == std::u16string::npos);
            used += line.size() + 1;
        }
        FUZZ_CHECK(used <= buffer || buffer == 0);
    }

    // Saved unedited, the file is the same bytes.
    if (KeepsBytes(bytes, encoding)) {
        FUZZ_CHECK(profile.save(g_savePath));
        FUZZ_CHECK(ReadAll(g_savePath) == bytes);
    }

    // One key written: it reads back as written, every other key as before,
    // and so after a save and a new load.
    const std::vector<std::u16string> before = Snapshot(profile);
    const std::u16string value = u"1.23457E+006";
    FUZZ_CHECK(profile.setString(kSections[1], kKeys[1], value));
    FUZZ_CHECK(profile.getString(kSections[1], kKeys[1], u"", 1000) == value);
    std::vector<std::u16string> after = Snapshot(profile);
    after[1 * kKeys.size() + 1] = before[1 * kKeys.size() + 1];
    FUZZ_CHECK(after == before);
    if (profile.save(g_savePath)) {
        ProfileFile reloaded;
        FUZZ_CHECK(reloaded.load(g_savePath) == ProfileFile::LoadResult::Loaded);
        if (reloaded.encoding() == encoding) {
            FUZZ_CHECK(reloaded.getString(kSections[1], kKeys[1], u"", 1000) == value);
            std::vector<std::u16string> again = Snapshot(reloaded);
            again[1 * kKeys.size() + 1] = before[1 * kKeys.size() + 1];
            FUZZ_CHECK(again == before);
        }
    }
    return 0;
}
