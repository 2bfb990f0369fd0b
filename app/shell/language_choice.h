// The file "lan.set" beside the program: the language chosen in the last run.
// 104 bytes: the marker "VELMAR-QRV-DDS" as UTF-16LE padded with zero bytes
// to 100 bytes, then the language index as a signed 32-bit little-endian
// number (-1 = the built-in language).
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace zorbel {

inline constexpr int kLanguageChoiceMarkerBytes = 100;
inline constexpr int kLanguageChoiceBytes = 104;

QString LanguageChoicePath(const QString& programFolder);  // programFolder + "/lan.set"

QByteArray EncodeLanguageChoice(std::int32_t index);
// The index of a file in exactly the layout above; nothing for anything else
// (shorter, longer, another marker, padding that is not zero).
std::optional<std::int32_t> DecodeLanguageChoice(const QByteArray& bytes);

// Nothing when the file is missing or not a language choice.
std::optional<std::int32_t> ReadLanguageChoiceFile(const QString& path);
// Writes the whole file or nothing (an earlier file stays); false with the
// system's text in `error`.
bool WriteLanguageChoiceFile(const QString& path, std::int32_t index, QString* error);

}  // namespace zorbel
