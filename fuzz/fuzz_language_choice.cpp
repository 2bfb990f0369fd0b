// "lan.set", the language chosen in the last run: any file either is not a
// language choice or holds an index, and one that holds an index is exactly
// the bytes that writing that index gives. The file is read as the program
// reads it (from its path) and, when it held an index, written back.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>

#include "fuzz_check.h"
#include "fuzz_files.h"
#include "language_choice.h"

namespace {

zorbel::fuzz::ScratchFile gFile;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gFile.Create("", "lan.set");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<std::int32_t> decoded = zorbel::DecodeLanguageChoice(bytes);
    gFile.Write(std::string_view(bytes.constData(), size));
    const QString path = QString::fromStdString(gFile.Path());
    FUZZ_CHECK(zorbel::ReadLanguageChoiceFile(path) == decoded);
    if (!decoded) {
        // Only the layout's 104 bytes with the marker hold an index.
        const QByteArray marker = zorbel::EncodeLanguageChoice(0).left(zorbel::kLanguageChoiceMarkerBytes);
        FUZZ_CHECK(size != zorbel::kLanguageChoiceBytes || !bytes.startsWith(marker));
        return 0;
    }
    FUZZ_CHECK(zorbel::EncodeLanguageChoice(*decoded) == bytes);
    QString error;
    FUZZ_CHECK(zorbel::WriteLanguageChoiceFile(path, *decoded, &error));
    FUZZ_CHECK(zorbel::ReadLanguageChoiceFile(path) == decoded);
    return 0;
}
