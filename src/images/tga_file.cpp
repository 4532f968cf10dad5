// TGA pictures: true-colour 16/24/32-bit, uncompressed or run-length encoded,
// either row order. Written as uncompressed 24-bit, bottom row first.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "images/error_box.h"
#include "images/picture_file.h"
#include "images/picture_formats.h"
#include "images/picture_io.h"
#include "images/progress.h"

namespace {
constexpr size_t kTgaHeaderBytes = 18;

// floor(v * 255 / 31) for the 5-bit channels of 16-bit pixels.
constexpr std::array<uint8_t, 32> kFiveBit = [] {
    std::array<uint8_t, 32> t{};
    for (int v = 0; v < 32; ++v)
        t[v] = static_cast<uint8_t>(v * 255 / 31);
    return t;
}();

template <int Bpp>
inline void ToBgr(const uint8_t* s, uint8_t* d)
{
    if constexpr (Bpp == 2) {
        const unsigned w = s[0] | (s[1] << 8);
        d[0] = kFiveBit[w & 31];
        d[1] = kFiveBit[(w >> 5) & 31];
        d[2] = kFiveBit[(w >> 10) & 31];
    } else {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
    }
}

// One pixel through the byte reader (missing bytes at the end read as 0).
template <int Bpp>
inline void ReadPixel(uint8_t* bgr)
{
    uint8_t s[Bpp];
    for (int i = 0; i < Bpp; ++i)
        s[i] = ReadByte();
    ToBgr<Bpp>(s, bgr);
}

inline void PutPixel(const uint8_t* bgr)
{
    PutByte(bgr[0]);
    PutByte(bgr[1]);
    PutByte(bgr[2]);
}

// Block step: decodes whole packets straight between the input buffer and
// the sink while both hold room for the largest packet; the byte-by-byte path
// below takes over at buffer ends. Both give the same bytes.
template <int Bpp, bool Rle>
inline void DecodeBlock()
{
    const uint8_t* in = Pio.InBuf + Pio.InPos;
    const uint8_t* const inEnd = Pio.InBuf + Pio.InHeld;
    uint8_t* out = Pio.SinkBuf + Pio.SinkPos;
    uint8_t* const outEnd = Pio.SinkBuf + Pio.ChunkLen;
    if (Pio.InPos >= static_cast<uint32_t>(Pio.InHeld) || Pio.SinkPos >= static_cast<uint32_t>(Pio.ChunkLen))
        return;
    if constexpr (Rle) {
        constexpr ptrdiff_t kMaxIn = 1 + 128 * Bpp;
        constexpr ptrdiff_t kMaxOut = 128 * 3;
        while (inEnd - in >= kMaxIn && outEnd - out >= kMaxOut) {
            const unsigned h = *in++;
            const int count = static_cast<int>(h & 0x7F) + 1;
            if (h & 0x80) {
                uint8_t bgr[3];
                ToBgr<Bpp>(in, bgr);
                in += Bpp;
                for (int i = 0; i < count; ++i, out += 3) {
                    out[0] = bgr[0];
                    out[1] = bgr[1];
                    out[2] = bgr[2];
                }
            } else {
                for (int i = 0; i < count; ++i, in += Bpp, out += 3)
                    ToBgr<Bpp>(in, out);
            }
        }
    } else {
        const ptrdiff_t n = std::min((inEnd - in) / Bpp, (outEnd - out) / 3);
        for (ptrdiff_t i = 0; i < n; ++i, in += Bpp, out += 3)
            ToBgr<Bpp>(in, out);
    }
    Pio.InPos = static_cast<uint32_t>(in - Pio.InBuf);
    Pio.SinkPos = static_cast<uint32_t>(out - Pio.SinkBuf);
}

// Decodes pixels until the input ends or the picture is full, then flushes.
template <int Bpp, bool Rle>
void DecodeTgaPixels()
{
    uint8_t bgr[3];
    while (!Pio.EndOfInput && !Pio.PictureFull) {
        DecodeBlock<Bpp, Rle>();
        if constexpr (Rle) {
            const unsigned h = ReadByte();
            if (Pio.EndOfInput)
                break;
            const int count = static_cast<int>(h & 0x7F) + 1;
            if (h & 0x80) {
                ReadPixel<Bpp>(bgr);
                for (int i = 0; i < count && !Pio.PictureFull; ++i)
                    PutPixel(bgr);
            } else {
                for (int i = 0; i < count && !Pio.EndOfInput && !Pio.PictureFull; ++i) {
                    ReadPixel<Bpp>(bgr);
                    PutPixel(bgr);
                }
            }
        } else {
            ReadPixel<Bpp>(bgr);
            PutPixel(bgr);
        }
    }
    PutByte(kFlushByte);
}

template <bool Rle>
void DecodeTga(int bytesPerPixel)
{
    switch (bytesPerPixel) {
    case 2: DecodeTgaPixels<2, Rle>(); break;
    case 3: DecodeTgaPixels<3, Rle>(); break;
    default: DecodeTgaPixels<4, Rle>(); break;
    }
}
}  // namespace

bool ReadTga()
{
    Pio.LoadWholeFile = true;
    if (OpenInputFile())
        return true;
    uint8_t h[kTgaHeaderBytes];
    if (ReadInputBlock(h, sizeof h) != sizeof h) {
        ShowErrorBox(12, "File Read Error: " + Pio.FileName);
        return true;
    }
    const int idLength = h[0];
    const int imageType = h[2];
    const int mapLength = GetU16(h + 5);
    const int depth = h[16] == 15 ? 16 : h[16];
    const int descriptor = h[17];
    const int bytesPerPixel = depth / 8;
    if (mapLength != 0 || depth % 8 != 0 || bytesPerPixel < 2 || bytesPerPixel > 4 ||
        (descriptor & 0xC0) != 0 || (imageType != 2 && imageType != 10)) {
        ShowErrorBox(15, "Unsupported image format");
        return true;
    }
    const bool rle = imageType > 8;
    const bool topFirst = (descriptor & 0x20) != 0;
    const int32_t width = GetU16(h + 12);
    const int32_t height = GetU16(h + 14);
    const int64_t decodedSize = int64_t{3} * width * height;
    if (RefusePictureSize(width, height, decodedSize))
        return true;

    SetDib24Layout(width, height);
    Pio.DecodedRowBytes = 3 * width;
    Pio.DecodedSize = static_cast<int32_t>(decodedSize);
    Pio.InBufSize = static_cast<uint32_t>(Pio.DibRowBytes);
    Pio.SinkBufSize = static_cast<uint32_t>(9 * width);
    if (AllocIoBuffers())
        return true;
    for (int i = 0; i < idLength; ++i)
        ReadByte();
    if (Pio.EndOfInput) {
        ShowErrorBox(12, "File read error: " + Pio.FileName);
        return true;
    }
    // The pixels are decoded straight into the packed picture's pixel area
    // (which is at least as large), then spread to padded rows in place: one
    // picture-sized block and one copy fewer than a separate decode buffer.
    Pio.Dib = CreatePackedDib(nullptr, width, height, static_cast<uint32_t>(Pio.DibImageBytes), 40,
                              24);
    if (!Pio.Dib) {
        ShowErrorBox(8, "Not Enought memory");
        return true;
    }
    Pio.Decoded = Pio.Dib + 40;
    Pio.DecodedInDib = true;
    Pio.DecodedOffset = 0;

    if (rle)
        DecodeTga<true>(bytesPerPixel);
    else
        DecodeTga<false>(bytesPerPixel);
    CloseFile();

    SetProgress(0);
    uint8_t* rows = Pio.Dib + 40;
    const size_t rowIn = static_cast<size_t>(Pio.DecodedRowBytes);
    const size_t rowOut = static_cast<size_t>(Pio.DibRowBytes);
    // Rows the file held (the last one perhaps in part); the rest of the
    // block is still zero and is never touched, so a file far shorter than
    // its header claims costs no memory for the missing rows.
    const int32_t held = static_cast<int32_t>((static_cast<size_t>(Pio.DecodedOffset) + rowIn - 1) / rowIn);
    // Decoded row k lies at k * rowIn <= k * rowOut, so moving the last row
    // first never overwrites a row still to be moved.
    for (int32_t k = held - 1; k >= 0; --k) {
        if (rowOut != rowIn) {
            std::memmove(rows + k * rowOut, rows + k * rowIn, rowIn);
            std::memset(rows + k * rowOut + rowIn, 0, rowOut - rowIn);
        }
        if (ProgressActive() && !topFirst)
            SetProgress(static_cast<int>(std::nearbyint((height - k) * 100.0 / height)));
    }
    // File row k is picture row k from the top: reverse the row order, with
    // the sink buffer (at least 9 x width bytes) holding one row. A pair of
    // which neither row was held stays zero.
    if (topFirst) {
        for (int32_t top = 0, bottom = height - 1; top < bottom && top < held; ++top, --bottom) {
            if (bottom < held) {
                std::memcpy(Pio.SinkBuf, rows + top * rowOut, rowOut);
                std::memcpy(rows + top * rowOut, rows + bottom * rowOut, rowOut);
                std::memcpy(rows + bottom * rowOut, Pio.SinkBuf, rowOut);
            } else {
                std::memcpy(rows + bottom * rowOut, rows + top * rowOut, rowOut);
                std::memset(rows + top * rowOut, 0, rowOut);
            }
            if (ProgressActive())
                SetProgress(static_cast<int>(std::nearbyint((top + 1) * 200.0 / height)));
        }
    }
    FreeDecodeBuffer();
    FreeInputBuffer();
    FreeSinkBuffer();
    return false;
}

bool WriteTga(const std::string& fileName, const RasterImage& image)
{
    const int32_t width = image.Width();
    const int32_t height = image.Height();
    if (RefusePictureSaveSize(fileName, width, height))
        return true;
    if (width < 0 || height < 0) {
        ShowErrorBox(13, "Error writing to file: " + fileName);
        return true;
    }
    uint8_t header[kTgaHeaderBytes] = {};
    header[2] = 2;
    PutU16(header + 12, static_cast<uint32_t>(width));
    PutU16(header + 14, static_cast<uint32_t>(height));
    header[16] = 24;
    return WritePictureRows(fileName, image, header, sizeof header, static_cast<size_t>(3) * width);
}
