// Reading and writing "lan.set".
#include "language_choice.h"

#include <QFile>

#include "zorbel/atomic_file.h"

namespace zorbel {
namespace {

QByteArray MarkerBlock() {
    QByteArray block(kLanguageChoiceMarkerBytes, '\0');
    const char marker[] = "VELMAR-QRV-DDS";
    for (int i = 0; marker[i] != '\0'; ++i) block[2 * i] = marker[i];  // UTF-16LE: high bytes stay 0
    return block;
}

}  // namespace

QString LanguageChoicePath(const QString& programFolder) { return programFolder + QStringLiteral("/lan.set"); }

QByteArray EncodeLanguageChoice(std::int32_t index) {
    QByteArray bytes = MarkerBlock();
    const auto value = static_cast<std::uint32_t>(index);
    for (int shift = 0; shift < 32; shift += 8) bytes.append(static_cast<char>((value >> shift) & 0xFF));
    return bytes;
}

std::optional<std::int32_t> DecodeLanguageChoice(const QByteArray& bytes) {
    if (bytes.size() != kLanguageChoiceBytes || !bytes.startsWith(MarkerBlock())) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[kLanguageChoiceMarkerBytes + i]))
                 << (8 * i);
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> ReadLanguageChoiceFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    // One byte more than the layout, so that a longer file is told apart.
    return DecodeLanguageChoice(file.read(kLanguageChoiceBytes + 1));
}

bool WriteLanguageChoiceFile(const QString& path, std::int32_t index, QString* error) {
    const QByteArray bytes = EncodeLanguageChoice(index);
    AtomicFile file;
    const bool written = file.Create(QFile::encodeName(path).toStdString()) &&
                         file.Write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))) &&
                         file.Commit();
    if (!written && error) *error = QString::fromStdString(file.Error());
    return written;
}

}  // namespace zorbel
