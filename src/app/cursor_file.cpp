#include "app/cursor_file.h"

#include <QFile>
#include <QPixmap>
#include <algorithm>
#include <cstdint>

namespace {
uint16_t U16(const QByteArray& b, qsizetype at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

uint32_t U32(const QByteArray& b, qsizetype at)
{
    return static_cast<uint32_t>(U16(b, at)) | static_cast<uint32_t>(U16(b, at + 2)) << 16;
}

constexpr qsizetype kDirBytes = 6;
constexpr qsizetype kEntryBytes = 16;
constexpr qsizetype kInfoBytes = 40;
constexpr int kMaxSide = 256;

// Bit k (0 = leftmost) of a row of 1-bit samples.
bool Bit(const uint8_t* row, int x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }
}  // namespace

std::optional<CursorPicture> DecodeCursorFile(const QByteArray& bytes)
{
    if (bytes.size() < kDirBytes + kEntryBytes)
        return std::nullopt;
    if (U16(bytes, 0) != 0 || U16(bytes, 2) != 2 || U16(bytes, 4) < 1)
        return std::nullopt;
    const qsizetype entry = kDirBytes;
    const int hotX = U16(bytes, entry + 4);
    const int hotY = U16(bytes, entry + 6);
    const uint32_t size = U32(bytes, entry + 8);
    const uint32_t offset = U32(bytes, entry + 12);
    if (offset > static_cast<uint64_t>(bytes.size()) || size > static_cast<uint64_t>(bytes.size()) - offset)
        return std::nullopt;
    const QByteArray image = bytes.mid(offset, size);

    CursorPicture result;
    if (image.startsWith("\x89PNG")) {
        if (!result.Image.loadFromData(image, "PNG") || result.Image.width() > kMaxSide ||
            result.Image.height() > kMaxSide)
            return std::nullopt;
        result.Image = result.Image.convertToFormat(QImage::Format_ARGB32);
    } else {
        if (image.size() < kInfoBytes)
            return std::nullopt;
        const uint32_t infoSize = U32(image, 0);
        const int32_t width = static_cast<int32_t>(U32(image, 4));
        const int32_t doubleHeight = static_cast<int32_t>(U32(image, 8));
        const int bits = U16(image, 14);
        const uint32_t compression = U32(image, 16);
        uint32_t colours = U32(image, 32);
        if (infoSize < kInfoBytes || infoSize > static_cast<uint32_t>(image.size()) || compression != 0)
            return std::nullopt;
        if (width < 1 || width > kMaxSide || doubleHeight < 2 || doubleHeight > 2 * kMaxSide || doubleHeight % 2)
            return std::nullopt;
        const int height = doubleHeight / 2;
        if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
            return std::nullopt;
        if (bits <= 8) {
            if (colours == 0 || colours > (1u << bits))
                colours = 1u << bits;
        } else {
            colours = 0;
        }
        const qsizetype paletteAt = infoSize;
        const qsizetype xorStride = ((static_cast<qsizetype>(width) * bits + 31) / 32) * 4;
        const qsizetype andStride = ((static_cast<qsizetype>(width) + 31) / 32) * 4;
        const qsizetype xorAt = paletteAt + 4 * static_cast<qsizetype>(colours);
        const qsizetype andAt = xorAt + xorStride * height;
        // The AND mask may be missing in 32-bit cursors, which carry alpha.
        const bool hasMask = andAt + andStride * height <= image.size();
        if (andAt > image.size() || (!hasMask && bits != 32))
            return std::nullopt;

        const auto* data = reinterpret_cast<const uint8_t*>(image.constData());
        QImage out(width, height, QImage::Format_ARGB32);
        bool anyAlpha = false;
        for (int y = 0; y < height; ++y) {
            const int fileRow = height - 1 - y;  // rows are stored bottom-up
            const uint8_t* row = data + xorAt + xorStride * fileRow;
            const uint8_t* mask = hasMask ? data + andAt + andStride * fileRow : nullptr;
            auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = 0; x < width; ++x) {
                QRgb colour;
                if (bits <= 8) {
                    const int shift = 8 - bits - (x * bits) % 8;
                    const uint32_t index = (row[(x * bits) / 8] >> shift) & ((1u << bits) - 1);
                    if (index >= colours) {
                        colour = qRgb(0, 0, 0);
                    } else {
                        const uint8_t* p = data + paletteAt + 4 * index;
                        colour = qRgb(p[2], p[1], p[0]);
                    }
                } else if (bits == 24) {
                    const uint8_t* p = row + 3 * x;
                    colour = qRgb(p[2], p[1], p[0]);
                } else {
                    const uint8_t* p = row + 4 * x;
                    colour = qRgba(p[2], p[1], p[0], p[3]);
                    anyAlpha = anyAlpha || p[3] != 0;
                }
                if (bits != 32)
                    colour = qRgba(qRed(colour), qGreen(colour), qBlue(colour), 255);
                if (mask && bits != 32 && Bit(mask, x)) {
                    // AND set: the screen shows through, or is inverted where
                    // the colour is not black; inversion has no portable
                    // equivalent, so those pixels are drawn black.
                    colour = (colour & 0xFFFFFF) == 0 ? qRgba(0, 0, 0, 0) : qRgba(0, 0, 0, 255);
                }
                line[x] = colour;
            }
        }
        if (bits == 32 && !anyAlpha) {
            // Old-style 32-bit cursors leave alpha zero and rely on the mask.
            for (int y = 0; y < height; ++y) {
                const uint8_t* mask = hasMask ? data + andAt + andStride * (height - 1 - y) : nullptr;
                auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
                for (int x = 0; x < width; ++x)
                    line[x] = qRgba(qRed(line[x]), qGreen(line[x]), qBlue(line[x]),
                                    mask && Bit(mask, x) ? 0 : 255);
            }
        }
        result.Image = out;
    }
    result.HotSpot = QPoint(std::min(hotX, result.Image.width() - 1), std::min(hotY, result.Image.height() - 1));
    return result;
}

bool LoadCursorFile(const QString& fileName, QCursor& cursor)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > (1 << 20))
        return false;
    const std::optional<CursorPicture> picture = DecodeCursorFile(file.readAll());
    if (!picture)
        return false;
    cursor = QCursor(QPixmap::fromImage(picture->Image), picture->HotSpot.x(), picture->HotSpot.y());
    return true;
}
