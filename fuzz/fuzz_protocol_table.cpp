// The field tables the oscilloscope supplies ("/protocol.inf",
// "/keyprotocol.inf"): parsed from the instrument's text, then every entry
// used as a window into the parameter image, as the key functions do.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "parameter_image.h"
#include "protocol_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the received bytes: the parser must not read past them.
    const std::string text(reinterpret_cast<const char*>(data), size);
    qmk::ProtocolTable table;
    table.push_back({"EARLIER", 3, 0, 3});  // tables are appended to, never replaced
    const std::size_t added = qmk::ParseTableText(text, table);
    FUZZ_CHECK(table.size() == added + 1);

    std::uint64_t sum = 0;
    for (std::size_t i = 1; i < table.size(); ++i) {
        const qmk::ProtocolEntry& entry = table[i];
        sum += entry.size;
        FUZZ_CHECK(entry.index == i - 1);
        FUZZ_CHECK(entry.end == sum);
        FUZZ_CHECK(entry.name.find('\0') == std::string::npos);
        FUZZ_CHECK(text.find(entry.name) != std::string::npos);
    }

    static qmk::ParameterImage image;  // 64 KiB: kept between inputs
    const auto raw = image.Raw();
    for (const qmk::ProtocolEntry& entry : table) {
        const auto field = image.Field(entry);
        if (!field) continue;
        // Inside the data area, and exactly the bytes the entry names.
        FUZZ_CHECK(field->size() == entry.size);
        FUZZ_CHECK(field->data() >= raw.data() + 1);
        FUZZ_CHECK(field->data() + field->size() <= raw.data() + raw.size());
        FUZZ_CHECK(field->data() == raw.data() + 1 + entry.end - entry.size);
        for (std::uint8_t& byte : *field) byte = static_cast<std::uint8_t>(byte + 1);
        // The first entry of a name is the one every key lookup finds.
        const qmk::ProtocolEntry* found = qmk::FindEntry(table, entry.name);
        FUZZ_CHECK(found != nullptr && found <= &entry && found->name == entry.name);
    }
    return 0;
}
