// The BMP writer: header fields, bits per pixel, colour table and row
// padding for images of each depth; ".jpg" names get BMP bytes; a save that
// fails leaves the earlier file as it was.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <QByteArray>
#include <QFile>
#include <QImage>

#include <csignal>
#include <cstdint>

#include "temp_dir.h"
#include "zorbel/report/bmp_file.h"

namespace zorbel {
namespace {

std::uint32_t U32(const QByteArray& b, int at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(b[at + i]);
    return v;
}
std::uint16_t U16(const QByteArray& b, int at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8);
}

QImage Picture(QImage::Format format, int width, int height) {
    QImage image(width, height, format);
    if (format == QImage::Format_Indexed8) {
        image.setColorTable({qRgb(0, 0, 0), qRgb(255, 0, 0)});
        image.fill(0);
        image.setPixel(0, height - 1, 1);
    } else if (format == QImage::Format_Mono) {
        image.setColorTable({qRgb(0, 0, 0), qRgb(255, 0, 0)});
        image.fill(0);
        image.setPixel(0, height - 1, 1);
    } else {
        image.fill(Qt::black);
        image.setPixelColor(0, height - 1, QColor(255, 0, 0));  // bottom left: the first pixel of the file
    }
    return image;
}

TEST(BmpFile, HeadersDepthsTablesAndPadding) {
    const struct {
        const char* what;
        QImage::Format format;
        int width, height;
        int bits, tableBytes, rowBytes;
        QByteArray firstPixel;  // the first bytes of the bits
    } rows[] = {
        {"32-bit (what a widget renders)", QImage::Format_ARGB32_Premultiplied, 3, 2, 32, 0, 12,
         QByteArray("\0\0\xff\0", 4)},
        {"24-bit, rows padded", QImage::Format_RGB888, 5, 2, 24, 0, 16, QByteArray("\0\0\xff", 3)},
        {"16-bit goes to 24", QImage::Format_RGB16, 2, 1, 24, 0, 8, QByteArray("\0\0\xff", 3)},
        {"8-bit indexed, 256 table entries", QImage::Format_Indexed8, 5, 3, 8, 1024, 8, QByteArray("\x01", 1)},
        {"1-bit, 2 table entries", QImage::Format_Mono, 10, 2, 1, 8, 4, QByteArray("\x80", 1)},
    };
    for (const auto& row : rows) {
        const QByteArray b = EncodeBmp(Picture(row.format, row.width, row.height));
        const int offset = 54 + row.tableBytes;
        const int size = offset + row.rowBytes * row.height;
        ASSERT_EQ(b.size(), size) << row.what;
        EXPECT_EQ(b.left(2), "BM") << row.what;
        EXPECT_EQ(U32(b, 2), static_cast<std::uint32_t>(size)) << row.what;
        EXPECT_EQ(U32(b, 6), 0u) << row.what;  // reserved
        EXPECT_EQ(U32(b, 10), static_cast<std::uint32_t>(offset)) << row.what;
        EXPECT_EQ(U32(b, 14), 40u) << row.what;
        EXPECT_EQ(U32(b, 18), static_cast<std::uint32_t>(row.width)) << row.what;
        EXPECT_EQ(U32(b, 22), static_cast<std::uint32_t>(row.height)) << row.what;  // bottom-up
        EXPECT_EQ(U16(b, 26), 1) << row.what;
        EXPECT_EQ(U16(b, 28), row.bits) << row.what;
        for (int field = 30; field < 54; field += 4) EXPECT_EQ(U32(b, field), 0u) << row.what << " field " << field;
        EXPECT_EQ(b.mid(offset, row.firstPixel.size()), row.firstPixel) << row.what;
        if (row.tableBytes > 0) {
            EXPECT_EQ(b.mid(58, 4), QByteArray("\0\0\xff\0", 4)) << row.what;  // entry 1
        }
    }
}

TEST(BmpFile, TheNameChoosesBmpOrPng) {
    test::TempDir folder;
    const QImage image = Picture(QImage::Format_RGB32, 7, 4);
    for (const char* name : {"view.bmp", "view.jpg", "view.png", "VIEW.PNG"}) {
        SCOPED_TRACE(name);
        const QString path = QString::fromStdString(folder.File(name));
        QString error;
        ASSERT_TRUE(SaveViewImage(image, path, &error)) << error.toStdString();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        if (QString::fromLatin1(name).endsWith(QStringLiteral("png"), Qt::CaseInsensitive)) {
            EXPECT_TRUE(bytes.startsWith("\x89PNG"));
            EXPECT_EQ(QImage::fromData(bytes, "png").convertToFormat(QImage::Format_RGB32), image);
        } else {
            EXPECT_EQ(bytes, EncodeBmp(image));  // a ".jpg" name still gets BMP bytes
        }
    }
}

TEST(BmpFile, AFailedSaveKeepsTheEarlierFile) {
    test::TempDir folder;
    const QString path = QString::fromStdString(folder.File("view.bmp"));
    {
        QFile earlier(path);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier picture");
    }
    // A disk that takes no more than 100 bytes per file (also for root,
    // which permissions would not stop).
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool saved = SaveViewImage(Picture(QImage::Format_RGB32, 64, 64), path, &error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);

    EXPECT_FALSE(saved);
    EXPECT_EQ(error, "File too large");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "earlier picture");
}

}  // namespace
}  // namespace zorbel
