// PCX pictures: version 5, three planes of 8 bits (24-bit colour), run-length
// encoded or plain. Read only.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "images/error_box.h"
#include "images/picture_formats.h"
#include "images/picture_io.h"
#include "images/progress.h"

namespace {
constexpr size_t kPcxHeaderBytes = 128;

// Block step: decodes straight between the input buffer and the sink while
// both hold room for the longest run; the byte-by-byte path takes over at
// buffer ends. Both give the same bytes.
void DecodeRleBlock()
{
    const uint8_t* in = Pio.InBuf + Pio.InPos;
    const uint8_t* const inEnd = Pio.InBuf + Pio.InHeld;
    uint8_t* out = Pio.SinkBuf + Pio.SinkPos;
    uint8_t* const outEnd = Pio.SinkBuf + Pio.ChunkLen;
    if (Pio.InPos >= static_cast<uint32_t>(Pio.InHeld) || Pio.SinkPos >= static_cast<uint32_t>(Pio.ChunkLen))
        return;
    // A run is at most 63 bytes: with 64 bytes of room every run is written
    // as eight whole words, the bytes past it being overwritten later.
    while (inEnd - in >= 2 && outEnd - out >= 64) {
        const uint8_t b = *in++;
        if ((b & 0xC0) == 0xC0) {
            const int count = b & 0x3F;
            const uint64_t word = 0x0101010101010101ULL * *in++;
            for (int i = 0; i < 64; i += 8)
                std::memcpy(out + i, &word, 8);
            out += count;
        } else {
            *out++ = b;
        }
    }
    Pio.InPos = static_cast<uint32_t>(in - Pio.InBuf);
    Pio.SinkPos = static_cast<uint32_t>(out - Pio.SinkBuf);
}

void DecodePlainBlock()
{
    if (Pio.InPos >= static_cast<uint32_t>(Pio.InHeld) || Pio.SinkPos >= static_cast<uint32_t>(Pio.ChunkLen))
        return;
    const uint32_t n = std::min(static_cast<uint32_t>(Pio.InHeld) - Pio.InPos,
                                static_cast<uint32_t>(Pio.ChunkLen) - Pio.SinkPos);
    std::memcpy(Pio.SinkBuf + Pio.SinkPos, Pio.InBuf + Pio.InPos, n);
    Pio.InPos += n;
    Pio.SinkPos += n;
}

// Interleaves one row's planes into blue-green-red pixels. Four pixels at a
// time through 32-bit words on little-endian machines, the rest one by one.
void AssembleRow(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* out, size_t width)
{
    size_t x = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; x + 4 <= width; x += 4, out += 12) {
            uint32_t r, g, b;
            std::memcpy(&r, red + x, 4);
            std::memcpy(&g, green + x, 4);
            std::memcpy(&b, blue + x, 4);
            const uint32_t w[3] = {
                (b & 0xFF) | (g & 0xFF) << 8 | (r & 0xFF) << 16 | (b & 0xFF00) << 16,
                (g >> 8 & 0xFF) | (r & 0xFF00) | (b & 0xFF0000) | (g & 0xFF0000) << 8,
                (r >> 16 & 0xFF) | (b >> 24) << 8 | (g >> 24) << 16 | (r & 0xFF000000),
            };
            std::memcpy(out, w, 12);
        }
    }
    for (; x < width; ++x, out += 3) {
        out[0] = blue[x];
        out[1] = green[x];
        out[2] = red[x];
    }
}

// Decodes data bytes until the input ends or the picture is full, then flushes.
void DecodePcxData(bool rle)
{
    while (!Pio.EndOfInput && !Pio.PictureFull) {
        if (rle) {
            DecodeRleBlock();
            const uint8_t b = ReadByte();
            if (Pio.EndOfInput)
                break;
            if ((b & 0xC0) == 0xC0) {
                const int count = b & 0x3F;
                const uint8_t v = ReadByte();
                for (int i = 0; i < count && !Pio.PictureFull; ++i)
                    PutByte(v);
            } else {
                PutByte(b);
            }
        } else {
            DecodePlainBlock();
            const uint8_t b = ReadByte();
            if (Pio.EndOfInput)
                break;
            PutByte(b);
        }
    }
    PutByte(kFlushByte);
}
}  // namespace

bool ReadPcx()
{
    if (OpenInputFile())
        return true;
    uint8_t h[kPcxHeaderBytes];
    if (ReadInputBlock(h, sizeof h) != sizeof h) {
        ShowErrorBox(12, "File read error: " + Pio.FileName);
        return true;
    }
    if (h[0] != 10) {
        ShowErrorBox(15, "Unsupported image format.");
        return true;
    }
    if (h[1] != 5 || h[3] != 8 || h[65] != 3) {
        ShowErrorBox(18, "");
        return true;
    }
    const bool rle = h[2] == 1;
    const int64_t width = int64_t{GetU16(h + 8)} - GetU16(h + 4) + 1;
    const int64_t height = int64_t{GetU16(h + 10)} - GetU16(h + 6) + 1;
    const int64_t bytesPerLine = GetU16(h + 66);
    if (RefusePictureSize(width, height, height * 3 * bytesPerLine))
        return true;
    // Each plane of a row must hold the whole width, or assembling the row
    // would read into the next plane and past the decoded picture.
    if (bytesPerLine < width) {
        ShowErrorBox(15, "Picture rows are shorter than its width: " + Pio.FileName);
        return true;
    }

    SetDib24Layout(width, height);
    Pio.DecodedRowBytes = static_cast<int32_t>(bytesPerLine);
    Pio.DecodedSize = static_cast<int32_t>(height * 3 * bytesPerLine);
    Pio.InBufSize = static_cast<uint32_t>(Pio.DibRowBytes);
    Pio.SinkBufSize = static_cast<uint32_t>(3 * bytesPerLine);
    if (AllocIoBuffers() || AllocDecodeBuffer())
        return true;

    DecodePcxData(rle);
    CloseFile();

    Pio.Dib = CreatePackedDib(nullptr, static_cast<int32_t>(width), static_cast<int32_t>(height),
                              static_cast<uint32_t>(Pio.DibImageBytes), 40, 24);
    if (!Pio.Dib) {
        ShowErrorBox(8, "Not Enought memory");
        return true;
    }
    SetProgress(0);
    uint8_t* rows = Pio.Dib + 40;
    const size_t bpl = static_cast<size_t>(bytesPerLine);
    // Rows past the end of the data stay zero and untouched: a file far
    // shorter than its header claims costs no memory for them.
    const int64_t held = std::min<int64_t>(height, (Pio.DecodedOffset + 3 * bytesPerLine - 1) / (3 * bytesPerLine));
    for (int64_t r = 0; r < held; ++r) {
        const uint8_t* red = Pio.Decoded + static_cast<size_t>(r) * 3 * bpl;
        const uint8_t* green = red + bpl;
        const uint8_t* blue = green + bpl;
        uint8_t* out = rows + static_cast<size_t>(height - 1 - r) * Pio.DibRowBytes;
        AssembleRow(red, green, blue, out, static_cast<size_t>(width));
        if (ProgressActive())
            SetProgress(static_cast<int>(std::nearbyint(static_cast<double>(r + 1) * 100.0 / height)));
    }
    FreeDecodeBuffer();
    FreeInputBuffer();
    FreeSinkBuffer();
    return false;
}
