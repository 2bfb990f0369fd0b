// The BMP writer.
#include "zorbel/report/bmp_file.h"

#include <QBuffer>
#include <QImageWriter>

#include <QFile>

#include <cstdint>
#include <cstring>
#include <string_view>

#include "zorbel/atomic_file.h"

namespace zorbel {
namespace {

constexpr int kFileHeaderBytes = 14;
constexpr int kInfoHeaderBytes = 40;

void Put16(QByteArray& bytes, std::uint16_t value) {
    bytes.append(static_cast<char>(value & 0xFF));
    bytes.append(static_cast<char>(value >> 8));
}

void Put32(QByteArray& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes.append(static_cast<char>((value >> shift) & 0xFF));
}

// The image in the form whose scan lines become the file's rows.
QImage RowImage(const QImage& image, int bits) {
    switch (bits) {
    case 1:
        return image.convertToFormat(QImage::Format_Mono);  // most significant bit first, as BMP
    case 8:
        return image.format() == QImage::Format_Indexed8 ? image : image.convertToFormat(QImage::Format_Indexed8);
    case 24:
        return image.convertToFormat(QImage::Format_RGB888);
    default:
        return image.convertToFormat(QImage::Format_RGB32);
    }
}

}  // namespace

int BmpBitsPerPixel(const QImage& image) {
    const int depth = image.depth();
    if (depth <= 1) return 1;
    if (depth <= 8) return 8;  // Qt has no image format of 2 to 7 bits
    if (depth <= 24) return 24;
    return 32;
}

QByteArray EncodeBmp(const QImage& image) {
    if (image.isNull()) return {};
    const int bits = BmpBitsPerPixel(image);
    const QImage rows = RowImage(image, bits);
    const int width = rows.width();
    const int height = rows.height();
    const std::uint32_t tableEntries = bits <= 8 ? 1u << bits : 0u;
    const std::uint32_t tableBytes = tableEntries * 4;
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(width) * bits + 31) / 32 * 4;
    const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(height);
    const std::uint32_t bitsOffset = kFileHeaderBytes + kInfoHeaderBytes + tableBytes;

    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(bitsOffset + imageBytes));
    bytes.append("BM", 2);
    Put32(bytes, bitsOffset + imageBytes);
    Put16(bytes, 0);
    Put16(bytes, 0);
    Put32(bytes, bitsOffset);

    Put32(bytes, kInfoHeaderBytes);
    Put32(bytes, static_cast<std::uint32_t>(width));
    Put32(bytes, static_cast<std::uint32_t>(height));  // positive: rows bottom-up
    Put16(bytes, 1);                                   // planes
    Put16(bytes, static_cast<std::uint16_t>(bits));
    for (int field = 0; field < 6; ++field) Put32(bytes, 0);  // no compression; sizes and colour counts 0

    const QList<QRgb> colours = rows.colorTable();
    for (std::uint32_t i = 0; i < tableEntries; ++i) {
        const QRgb c = i < static_cast<std::uint32_t>(colours.size()) ? colours[static_cast<qsizetype>(i)] : 0;
        bytes.append(static_cast<char>(qBlue(c)));
        bytes.append(static_cast<char>(qGreen(c)));
        bytes.append(static_cast<char>(qRed(c)));
        bytes.append('\0');
    }

    QByteArray row(static_cast<qsizetype>(rowBytes), '\0');
    for (int y = height - 1; y >= 0; --y) {
        const uchar* line = rows.constScanLine(y);
        row.fill('\0');
        char* out = row.data();
        if (bits == 24) {
            for (int x = 0; x < width; ++x) {  // RGB888 holds R, G, B; the file wants B, G, R
                out[3 * x] = static_cast<char>(line[3 * x + 2]);
                out[3 * x + 1] = static_cast<char>(line[3 * x + 1]);
                out[3 * x + 2] = static_cast<char>(line[3 * x]);
            }
        } else if (bits == 32) {
            const auto* pixels = reinterpret_cast<const QRgb*>(line);
            for (int x = 0; x < width; ++x) {
                out[4 * x] = static_cast<char>(qBlue(pixels[x]));
                out[4 * x + 1] = static_cast<char>(qGreen(pixels[x]));
                out[4 * x + 2] = static_cast<char>(qRed(pixels[x]));
            }
        } else {
            std::memcpy(out, line, (static_cast<std::size_t>(width) * bits + 7) / 8);
        }
        bytes.append(row);
    }
    return bytes;
}

bool SaveViewImage(const QImage& image, const QString& path, QString* error) {
    QByteArray bytes;
    if (path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!image.isNull() && !QImageWriter(&buffer, "png").write(image)) bytes.clear();
    } else {
        bytes = EncodeBmp(image);
    }
    if (bytes.isEmpty()) {
        if (error) *error = QStringLiteral("there is no picture to save");
        return false;
    }
    return WriteWholeFile(path, bytes, error);
}

bool WriteWholeFile(const QString& path, const QByteArray& bytes, QString* error) {
    AtomicFile file;
    if (file.Create(QFile::encodeName(path).toStdString()) &&
        file.Write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))) && file.Commit())
        return true;
    if (error) *error = QString::fromStdString(file.Error());
    return false;
}

}  // namespace zorbel
