#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "images/picture_file.h"
#include "images/picture_io.h"
#include "images/safe_file.h"
#include "picture_test_util.h"

namespace {
RgbPicture LoadTga(const TempDir& dir, const std::vector<uint8_t>& bytes, ErrorCapture& cap,
                   const std::string& name = "t.tga")
{
    return LoadBytes(dir, bytes, cap, name);
}

// Plain packet decoder (the format rules, byte by byte) for comparison with
// the reader, whose block step skips the byte reader.
RgbPicture ReferenceRle(const std::vector<uint8_t>& data, int w, int h, int bpp, bool topFirst)
{
    std::vector<uint8_t> bgr;
    const size_t want = size_t(3) * w * h;
    size_t i = 0;
    auto pixel = [&](size_t at) {
        uint8_t p[4] = {};
        for (int k = 0; k < bpp; ++k)
            p[k] = at + k < data.size() ? data[at + k] : 0;
        if (bpp == 2) {
            const unsigned v = p[0] | p[1] << 8;
            return std::array<uint8_t, 3>{uint8_t((v & 31) * 255 / 31), uint8_t((v >> 5 & 31) * 255 / 31),
                                          uint8_t((v >> 10 & 31) * 255 / 31)};
        }
        return std::array<uint8_t, 3>{p[0], p[1], p[2]};
    };
    while (i < data.size() && bgr.size() < want) {
        const uint8_t hd = data[i++];
        const int n = (hd & 0x7F) + 1;
        if (hd & 0x80) {
            const auto p = pixel(i);
            i += bpp;
            for (int k = 0; k < n; ++k)
                bgr.insert(bgr.end(), p.begin(), p.end());
        } else {
            for (int k = 0; k < n && i < data.size(); ++k, i += bpp) {
                const auto p = pixel(i);
                bgr.insert(bgr.end(), p.begin(), p.end());
            }
        }
    }
    bgr.resize(want, 0);
    RgbPicture out{w, h, std::vector<uint8_t>(want)};
    for (int k = 0; k < h; ++k) {
        const int row = topFirst ? k : h - 1 - k;
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                out.Rgb[3 * (size_t(row) * w + x) + c] = bgr[3 * (size_t(k) * w + x) + 2 - c];
    }
    return out;
}
}  // namespace

TEST(TgaRead, SixteenBitPixelsExpandThroughTheFiveBitTable)
{
    TempDir dir;
    ErrorCapture cap;
    // Depth 15 reads as 16; bit 15 is ignored.
    const std::vector<uint8_t> px = {0xFF, 0x7F, 0x01, 0x00, 0x00, 0x7C, 0xE0, 0x83};
    for (int depth : {15, 16}) {
        const RgbPicture p = LoadTga(dir, TgaHeader(2, 4, 1, depth, 0x20) + px, cap);
        EXPECT_EQ(p.Rgb, (std::vector<uint8_t>{255, 255, 255, 0, 0, 8, 255, 0, 0, 0, 255, 0})) << depth;
    }
    // All 32 levels of blue: floor(v * 255 / 31).
    std::vector<uint8_t> levels;
    for (int v = 0; v < 32; ++v)
        levels.insert(levels.end(), {uint8_t(v), 0});
    const RgbPicture p = LoadTga(dir, TgaHeader(2, 32, 1, 16, 0) + levels, cap);
    const uint8_t expect[32] = {0,   8,   16,  24,  32,  41,  49,  57,  65,  74,  82,  90,  98,  106, 115, 123,
                                131, 139, 148, 156, 164, 172, 180, 189, 197, 205, 213, 222, 230, 238, 246, 255};
    for (int v = 0; v < 32; ++v)
        EXPECT_EQ(p.Rgb[3 * v + 2], expect[v]) << v;
    EXPECT_EQ(cap.Count(), 0u);
}

TEST(TgaRead, RunLengthPacketsAndRowOrder)
{
    TempDir dir;
    ErrorCapture cap;
    // 3 x 3, bottom row first: a run of 4 (0x83) crosses the first row end,
    // a raw packet of 3 (0x02), a run of 2 (0x81).
    const std::vector<uint8_t> data = {0x83, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0x81, 13, 14, 15};
    const RgbPicture bottom = LoadTga(dir, TgaHeader(10, 3, 3, 24, 0) + data, cap);
    const std::vector<uint8_t> rowsBottomFirst = {3, 2, 1, 3, 2, 1, 3, 2, 1,  // row 0 (bottom)
                                                  3, 2, 1, 6, 5, 4, 9, 8, 7,  // row 1
                                                  12, 11, 10, 15, 14, 13, 15, 14, 13};
    const std::vector<uint8_t> topRow(rowsBottomFirst.begin() + 18, rowsBottomFirst.end());
    const std::vector<uint8_t> bottomRow(rowsBottomFirst.begin(), rowsBottomFirst.begin() + 9);
    EXPECT_EQ(std::vector<uint8_t>(bottom.Rgb.begin(), bottom.Rgb.begin() + 9), topRow);
    EXPECT_EQ(std::vector<uint8_t>(bottom.Rgb.end() - 9, bottom.Rgb.end()), bottomRow);
    // Descriptor 0x20: the first file row is the top row; bit 4 changes nothing.
    for (int descriptor : {0x20, 0x30}) {
        const RgbPicture top = LoadTga(dir, TgaHeader(10, 3, 3, 24, descriptor) + data, cap);
        EXPECT_EQ(std::vector<uint8_t>(top.Rgb.begin(), top.Rgb.begin() + 9), bottomRow) << descriptor;
    }
    for (int descriptor : {0x10, 0x08}) {
        EXPECT_EQ(LoadTga(dir, TgaHeader(10, 3, 3, 24, descriptor) + data, cap), bottom) << descriptor;
    }
    // 32 bits: the fourth byte is ignored; identification field skipped.
    const std::vector<uint8_t> ident = {'i', 'd', '!'};
    const RgbPicture p32 = LoadTga(dir, TgaHeader(2, 2, 1, 32, 0, 3) + ident + std::vector<uint8_t>{1, 2, 3, 99, 4, 5, 6, 77}, cap);
    EXPECT_EQ(p32.Rgb, (std::vector<uint8_t>{3, 2, 1, 6, 5, 4}));
    EXPECT_EQ(cap.Count(), 0u);
}

TEST(TgaRead, BlockDecodingMatchesThePacketRulesOnLargeRandomPictures)
{
    TempDir dir;
    ErrorCapture cap;
    uint32_t s = 7;
    auto rnd = [&] { return s = s * 1664525u + 1013904223u, s >> 8; };
    for (int bpp : {2, 3, 4}) {
        for (bool top : {false, true}) {
            const int w = bpp == 3 ? 300 : 301, h = 97;  // several buffers; padded rows or not
            std::vector<uint8_t> data;
            size_t pixels = 0;
            while (pixels < size_t(w) * h + 50) {  // packets run past the end
                const int n = int(rnd() % 128) + 1;
                if (rnd() % 2) {
                    data.push_back(uint8_t(0x80 | (n - 1)));
                    for (int k = 0; k < bpp; ++k)
                        data.push_back(uint8_t(rnd()));
                } else {
                    data.push_back(uint8_t(n - 1));
                    for (int k = 0; k < n * bpp; ++k)
                        data.push_back(uint8_t(rnd() % 4 ? rnd() : 0));
                }
                pixels += n;
            }
            const RgbPicture want = ReferenceRle(data, w, h, bpp, top);
            EXPECT_EQ(LoadTga(dir, TgaHeader(10, w, h, 8 * bpp, top ? 0x20 : 0) + data, cap), want)
                << bpp << " " << top;
            // Cut at an odd place: the rest is black.
            data.resize(data.size() / 3 + 1);
            EXPECT_EQ(LoadTga(dir, TgaHeader(10, w, h, 8 * bpp, top ? 0x20 : 0) + data, cap),
                      ReferenceRle(data, w, h, bpp, top))
                << bpp << " " << top << " cut";
        }
    }
    EXPECT_EQ(cap.Count(), 0u);
}

TEST(TgaRead, FileEndingEarlyLeavesTheRestBlack)
{
    TempDir dir;
    ErrorCapture cap;
    // 2 x 2 uncompressed, bottom row first, only one and a half pixels given.
    const RgbPicture p = LoadTga(dir, TgaHeader(2, 2, 2, 24, 0) + std::vector<uint8_t>{10, 20, 30, 40}, cap);
    EXPECT_EQ(p.Rgb, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 30, 20, 10, 0, 0, 40}));
    // No pixel data at all.
    EXPECT_EQ(LoadTga(dir, TgaHeader(10, 2, 1, 24, 0), cap).Rgb, std::vector<uint8_t>(6, 0));
    EXPECT_EQ(cap.Count(), 0u);
}

TEST(TgaRead, RefusalsShowTheirText)
{
    TempDir dir;
    struct Case {
        std::string name;
        std::vector<uint8_t> bytes;
        int code;
        std::string text;
    };
    const std::vector<uint8_t> px(12, 1);
    auto mapped = TgaHeader(2, 2, 2, 24, 0);
    mapped[5] = 2;
    const std::string unsupported = "Error: Unsupported image format";
    const std::vector<Case> cases = {
        {"short_header.tga", {0, 0, 2, 0, 0}, 12, "Error: File Read Error: "},
        {"empty.tga", {}, 12, "Error: File Read Error: "},
        {"ident_cut_off.tga", TgaHeader(2, 2, 2, 24, 0, 20) + std::vector<uint8_t>{1, 2, 3}, 12,
         "Error: File read error: "},
        {"colour_map.tga", mapped + px, 15, unsupported},
        {"type1.tga", TgaHeader(1, 2, 2, 24, 0) + px, 15, unsupported},
        {"type3.tga", TgaHeader(3, 2, 2, 24, 0) + px, 15, unsupported},
        {"type9.tga", TgaHeader(9, 2, 2, 24, 0) + px, 15, unsupported},
        {"type11.tga", TgaHeader(11, 2, 2, 24, 0) + px, 15, unsupported},
        {"depth8.tga", TgaHeader(2, 2, 2, 8, 0) + px, 15, unsupported},
        {"depth17.tga", TgaHeader(2, 2, 2, 17, 0) + px, 15, unsupported},
        {"depth40.tga", TgaHeader(2, 2, 2, 40, 0) + px, 15, unsupported},
        {"interleaved.tga", TgaHeader(2, 2, 2, 24, 0x40) + px, 15, unsupported},
        {"zero_width.tga", TgaHeader(2, 0, 2, 24, 0) + px, 15, ""},
        {"zero_height.tga", TgaHeader(10, 2, 0, 24, 0) + px, 15, ""},
        {"gigabyte_pixels.tga", TgaHeader(10, 65535, 65535, 24, 0) + px, 15, ""},
    };
    for (const Case& c : cases) {
        ErrorCapture cap;
        EXPECT_EQ(LoadTga(dir, c.bytes, cap, c.name), RgbPicture{}) << c.name;
        ExpectOneRefusal(cap, c.name, c.code, c.text, dir.File(c.name));
        EXPECT_EQ(Pio.Dib, nullptr);
        EXPECT_EQ(Pio.Decoded, nullptr);
        EXPECT_FALSE(Pio.FileOpen);
    }
}

TEST(TgaWrite, ThreeByTwoIs36BytesAndReadsBackInNetpbmAndFfmpeg)
{
    TempDir dir;
    const RgbPicture pic = TestPattern(3, 2);
    RasterImage image;
    FromRgb(pic, image);
    ASSERT_FALSE(SavePicture(dir.File("p.tga"), image));
    const std::vector<uint8_t> b = ReadAll(dir.File("p.tga"));
    ASSERT_EQ(b.size(), 36u);
    std::vector<uint8_t> header(18, 0);
    header[2] = 2;
    header[12] = 3;
    header[14] = 2;
    header[16] = 24;
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 18), header);
    // Bottom row first, blue-green-red, no padding.
    EXPECT_EQ(b[18], pic.Rgb[9 + 2]);
    EXPECT_EQ(b[20], pic.Rgb[9 + 0]);
    EXPECT_EQ(b[35], pic.Rgb[6]);

    for (int w : {1, 3, 5, 161}) {
        const RgbPicture p = TestPattern(w, 9, static_cast<unsigned>(w) + 100);
        RasterImage im;
        FromRgb(p, im);
        const std::string name = dir.File(std::to_string(w) + "w.tga");
        ASSERT_FALSE(SavePicture(name, im));
        EXPECT_EQ(DecodeWith("tgatoppm " + Quote(name)), p) << w;
        EXPECT_EQ(DecodeWith("ffmpeg -nostdin -loglevel error -i " + Quote(name) +
                             " -f image2pipe -vcodec ppm -pix_fmt rgb24 -"),
                  p)
            << w;
        // And our reader agrees with our writer.
        RasterImage back;
        LoadPicture(name, back);
        EXPECT_EQ(ToRgb(back), p);
    }
}

TEST(TgaWrite, FailingPartWayLeavesNoFileUnderTheNewName)
{
    TempDir dir;
    RasterImage image;
    FromRgb(TestPattern(300, 300), image);  // 270018 bytes
    const std::string name = dir.File("frame.tga");
    // In a child limited to 64 KiB per file, the write fails part-way.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{65536, 65536};
        setrlimit(RLIMIT_FSIZE, &lim);
        ErrorCapture cap;
        const bool failed = SavePicture(name, image);
        const bool ok = failed && cap.Count() == 1 && cap.LastCode() == 13 &&
                        cap.LastText() == "Error: Error writing to file: " + name && !FileExists(name);
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(FileExists(name));
    // Without the limit the same save succeeds.
    ErrorCapture cap;
    EXPECT_FALSE(SavePicture(name, image));
    EXPECT_EQ(ReadAll(name).size(), 270018u);
}
