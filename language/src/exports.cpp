// The C interface of QRVLanguageDll over the process-wide LanguageStore.
// No exception leaves these functions: any failure inside is a result of 0.
#include "QRVLanguageDll.h"

#include "language_store.h"

#include <algorithm>
#include <optional>
#include <string>

using zorbel::language::processStore;

namespace {

// Longest argument text accepted; a longer one (or one without terminator
// within reach) is refused instead of being read further.
constexpr std::size_t kMaxArgumentChars = 32767;

std::optional<std::u16string> argumentText(const char16_t* text) {
    if (!text) return std::nullopt;
    std::size_t n = 0;
    while (n <= kMaxArgumentChars && text[n] != 0) ++n;
    if (n > kMaxArgumentChars) return std::nullopt;
    return std::u16string(text, n);
}

// Length and capacity rules shared by the two name functions.
int32_t handOutName(const std::optional<std::u16string>& name, char16_t* buffer, uint16_t capacity, uint16_t* length) {
    if (!name) return 0;  // index out of range: nothing written
    const std::size_t size = std::min<std::size_t>(name->size(), UINT16_MAX);
    if (length) *length = static_cast<uint16_t>(size);
    if (size == 0 || name->size() > capacity || !buffer) return 0;
    std::copy(name->begin(), name->end(), buffer);
    buffer[name->size()] = 0;
    return 1;
}

template <typename F>
int32_t guarded(F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return 0;
    }
}

}  // namespace

extern "C" {

QRVL_API int32_t qmkHLSetLanguageFileFolderName(const char16_t* folder, const char16_t* extension) {
    return guarded([&]() -> int32_t {
        const auto f = argumentText(folder);
        const auto e = argumentText(extension);
        if (!f || !e) return 0;
        return processStore().setFolder(*f, *e) ? 1 : 0;
    });
}

QRVL_API int16_t qmkHLGetLanguageFileCount(void) {
    return static_cast<int16_t>(guarded([] { return static_cast<int32_t>(processStore().fileCount()); }));
}

QRVL_API int32_t qmkHLGetLanguageFileName(uint16_t index, char16_t* buffer, uint16_t capacity, uint16_t* length) {
    return guarded([&] { return handOutName(processStore().fileName(index), buffer, capacity, length); });
}

QRVL_API int32_t qmkHLGetLanguageName(uint16_t index, char16_t* buffer, uint16_t capacity, uint16_t* length) {
    return guarded([&] { return handOutName(processStore().languageName(index), buffer, capacity, length); });
}

QRVL_API int32_t qmkHLLoadContenFromFile_Index(uint16_t index) {
    return guarded([&] { return processStore().loadByIndex(index) ? 1 : 0; });
}

QRVL_API int32_t qmkHLLoadContenFromFile_Point(const char16_t* path,
                                               uint16_t /*pathLength: the text ends at its terminator*/) {
    return guarded([&] {
        // A path that cannot be taken is a file that cannot be opened.
        const auto p = argumentText(path);
        return processStore().loadByPath(p ? *p : std::u16string()) ? 1 : 0;
    });
}

QRVL_API int32_t qmkHLGetContenItem(uint16_t index, char16_t* itemNumber, char16_t* itemText) {
    return guarded([&]() -> int32_t {
        if (!itemNumber || !itemText) return 0;
        const auto item = processStore().item(index);
        if (!item) return 0;
        std::copy(item->number.begin(), item->number.end(), itemNumber);
        itemNumber[item->number.size()] = 0;
        std::copy(item->text.begin(), item->text.end(), itemText);
        itemText[item->text.size()] = 0;
        return 1;
    });
}

}  // extern "C"
