// The catalog answer of the instrument's file system, collected from its
// pieces, split into the caller's fixed-size CatalogEntry records.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "QRVHardDll.h"
#include "fuzz_check.h"
#include "memory_catalog.h"

namespace {

constexpr unsigned char kFill = 0x5A;  // what the caller's records held before

std::int32_t FillInt32() {
    std::int32_t value;
    std::memset(&value, kFill, sizeof value);
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // Byte 0: room for 0..31 records; byte 1: length of the caller's directory text.
    const std::uint32_t maximum = data[0] % 32;
    const std::size_t directoryLength = std::min<std::size_t>(data[1] * 8u, size - 2);
    const std::string_view directory(reinterpret_cast<const char*>(data + 2), directoryLength);
    const std::string_view text(reinterpret_cast<const char*>(data + 2 + directoryLength), size - 2 - directoryLength);

    // Exactly `maximum` records on the heap: a write past them is an overflow.
    const std::unique_ptr<CatalogEntry[]> entries(maximum ? new CatalogEntry[maximum] : nullptr);
    if (maximum) std::memset(entries.get(), kFill, sizeof(CatalogEntry) * maximum);
    const auto split = qrv::SplitCatalog(text, directory, 77, entries.get(), maximum);

    FUZZ_CHECK(split.entries <= maximum);
    std::size_t lines = 0;
    for (char c : text) lines += c == '\n';
    FUZZ_CHECK(split.entries <= lines + 1);
    const std::string_view cut = directory.substr(0, std::min(directory.size(), sizeof(CatalogEntry::directory) - 1));
    for (std::uint32_t i = 0; i < split.entries; ++i) {
        const CatalogEntry& e = entries[i];
        FUZZ_CHECK(e.tag == 77);
        FUZZ_CHECK(std::memchr(e.directory, '\0', sizeof e.directory) != nullptr);
        FUZZ_CHECK(std::string_view(e.directory, cut.size()) == cut);
        if (e.nameLength != FillInt32()) {
            FUZZ_CHECK(e.nameLength >= 0 && static_cast<std::size_t>(e.nameLength) < sizeof e.name);
            FUZZ_CHECK(e.name[e.nameLength] == '\0');
        }
    }
    for (std::uint32_t i = split.entries; i < maximum; ++i) FUZZ_CHECK(entries[i].tag == FillInt32());
    return 0;
}
