// Saved images of the view: a Windows BMP file, also under a ".jpg" name
// (users give them such names, and older tools expect BMP bytes there); a
// name ending in ".png" gets a PNG file.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace zorbel {

// Bits per pixel of the file for `image`: 1 for 1-bit images, 8 up to 8 bits,
// 24 up to 24 bits, 32 for every deeper image (BMP has no deeper plain form).
int BmpBitsPerPixel(const QImage& image);

// The file: a 14-byte file header ("BM", file size, offset of the bits), the
// 40-byte information header (planes 1, no compression, all other fields
// 0), a colour table of 2 or 256 entries for 1 and 8 bits, then the rows
// bottom-up, each padded to a multiple of 4 bytes. Empty for a null image.
QByteArray EncodeBmp(const QImage& image);

// Writes `bytes` to `path` whole or not at all; false with the reason in
// *error (when given) otherwise. Shared by the image and the report.
bool WriteWholeFile(const QString& path, const QByteArray& bytes, QString* error);

// Writes the image to `path` as a whole or not at all, PNG for a ".png" name
// (any case) and EncodeBmp(image) for every other: an existing file of that
// name is kept as it was when anything fails. False with the reason (the
// system's text) in *error.
bool SaveViewImage(const QImage& image, const QString& path, QString* error);

}  // namespace zorbel
