// Turns the collected text of a catalog answer into CatalogEntry records.
// Pure: no link traffic, so the line rules are tested alone.
#pragma once

#include <cstdint>
#include <string_view>

#include "QRVHardDll.h"

namespace qrv {

struct CatalogSplit {
    std::uint32_t entries = 0;         // entries filled, at most the caller's maximum
    std::uint32_t untranslatable = 0;  // empty lines and a final line without line feed
};

// Fills entries[0..] from the lines of `text` (each "name,KIND,size" ending
// in a line feed), at most `maximum` of them. Every entry filled gets the
// directory text and tag; the name is filled when the line has a comma, kind
// and size when it has two ("DIR" 1, "FILE" 2, other words leave the kind as
// it was; a size that is not a number gives 0). Texts longer than a field are
// cut so that the field always ends in a NUL. A final line without line feed
// is taken once; it and every empty line count as untranslatable, which the
// caller reports.
CatalogSplit SplitCatalog(std::string_view text, std::string_view directory, std::int32_t tag, CatalogEntry* entries,
                          std::uint32_t maximum);

}  // namespace qrv
