#include <gtest/gtest.h>

#include "images/picture_file.h"
#include "images/picture_io.h"
#include "images/progress.h"
#include "images/safe_file.h"
#include "picture_test_util.h"

namespace {
struct RecordingDisplay : ProgressDisplay {
    std::vector<int> shown;
    int begun = 0, ended = 0;
    void ProgressBegun() override { ++begun; }
    void ProgressChanged(int p) override { shown.push_back(p); }
    void ProgressEnded() override { ++ended; }
};
}  // namespace

TEST(PictureFileType, ExtensionsAreComparedInLowerCase)
{
    for (const char* e : {".bmp", ".dib", ".rle", ".tga", ".pcx", ".png", ".jpg", ".jpeg", ".BMP", ".Dib",
                          ".RLE", ".TgA", ".PCX", ".PNG", ".Jpg", ".JPEG"})
        EXPECT_TRUE(IsPictureFileType(e)) << e;
    for (const char* e : {".webp", ".gif", ".jpe", "", "bmp", "png", ".bmpx", ".tg", ".pngx", "x.bmp", "x.png"})
        EXPECT_FALSE(IsPictureFileType(e)) << e;
}

TEST(PictureFileType, LoadRefusesMissingAndUnknownFilesWithTheirTexts)
{
    TempDir dir;
    ErrorCapture cap;
    RasterImage image;
    LoadPicture(dir.File("absent.bmp"), image);
    EXPECT_FALSE(image.Allocated);
    ASSERT_EQ(cap.Count(), 1u);
    EXPECT_EQ(cap.LastCode(), 14);
    EXPECT_EQ(cap.LastText(), "Error: File was not found: " + dir.File("absent.bmp"));

    // The name exactly as the caller gave it.
    const std::string webp = dir.File("d.webp");
    WriteAll(webp, {'R', 'I', 'F', 'F'});
    LoadPicture(webp, image);
    EXPECT_FALSE(image.Allocated);
    EXPECT_EQ(cap.LastCode(), 17);
    EXPECT_EQ(cap.LastText(), "Error: This image is unsupported: " + webp);
    EXPECT_EQ(cap.Messages.back().Caption, "Error");
    EXPECT_EQ(cap.Count(), 2u);
}

TEST(PictureFileType, UpperAndMixedCaseNamesLoadByType)
{
    TempDir dir;
    ErrorCapture cap;
    const std::vector<uint8_t> bmp = ReadAll(PictureFixture("bmp24_w5.bmp"));
    const RgbPicture want = ReadPpmFile(PictureFixture("src_5x3.ppm"));
    for (const char* name : {"PICTURE.BMP", "a.Dib", "x.RLE"}) {
        WriteAll(dir.File(name), bmp);
        EXPECT_EQ(LoadRgb(dir.File(name)), want) << name;
    }
    WriteAll(dir.File("b.TGA"), ReadAll(PictureFixture("tga24_raw_bottom.tga")));
    EXPECT_EQ(LoadRgb(dir.File("b.TGA")), ReadPpmFile(PictureFixture("src_37x31.ppm")));
    EXPECT_EQ(cap.Count(), 0u);
}

TEST(PictureFileType, SaveByExtension)
{
    TempDir dir;
    ErrorCapture cap;
    RasterImage image;
    FromRgb(TestPattern(4, 3), image);
    EXPECT_TRUE(SavePicture(dir.File("c.pcx"), image));
    EXPECT_EQ(cap.Count(), 0u);  // PCX fails without a message
    EXPECT_FALSE(FileExists(dir.File("c.pcx")));
    EXPECT_TRUE(SavePicture(dir.File("c.jpg"), image));
    EXPECT_EQ(cap.LastCode(), 17);
    EXPECT_EQ(cap.LastText(), "Error: Save to this file type in not supported.");
    EXPECT_FALSE(FileExists(dir.File("c.jpg")));
    EXPECT_FALSE(SavePicture(dir.File("c.Bmp"), image));
    EXPECT_FALSE(SavePicture(dir.File("c.TGA"), image));
    EXPECT_FALSE(SavePicture(dir.File("c.PNG"), image));
    EXPECT_EQ(LoadRgb(dir.File("c.PNG")), TestPattern(4, 3));
    EXPECT_EQ(ReadAll(dir.File("c.Bmp")).size(), 54u + 3 * 12);
    EXPECT_EQ(ReadAll(dir.File("c.TGA")).size(), 18u + 3 * 12);
}

// Every variant made by an independent encoder decodes to the pixels of its
// source; where the encoder is lossy (16-bit colour, netpbm's run-length
// encoder) the reference is an independent decoder of the same file.
TEST(PictureFixtures, DecodeToTheSourcePixels)
{
    ErrorCapture cap;
    struct Case {
        const char* file;
        const char* source;
    };
    const Case exact[] = {
        {"bmp24_w1.bmp", "src_1x4.ppm"},        {"bmp24_w3.bmp", "src_3x5.ppm"},
        {"bmp24_w5.bmp", "src_5x3.ppm"},        {"bmp24_w161.bmp", "src_161x7.ppm"},
        {"bmp24_netpbm.bmp", "src_37x31.ppm"},  {"bmp24_top_down.bmp", "src_37x31.ppm"},
        {"bmp24_imagemagick_v5.bmp", "src_37x31.ppm"},  // ImageMagick's default 124-byte header
        {"tga24_raw_bottom.tga", "src_37x31.ppm"}, {"tga24_raw_top.tga", "src_37x31.ppm"},
        {"tga24_rle_top.tga", "src_37x31.ppm"}, {"tga24_raw_top_ident.tga", "src_37x31.ppm"},
        {"tga32_raw_top.tga", "src_37x31.ppm"}, {"tga32_rle_top.tga", "src_37x31.ppm"},
        {"tga32_raw_bottom.tga", "src_37x31.ppm"}, {"tga32_rle_bottom.tga", "src_37x31.ppm"},
        {"pcx24_rle.pcx", "src_37x31.ppm"},     {"pcx24_rle_netpbm.pcx", "src_37x31.ppm"},
        {"pcx24_plain.pcx", "src_37x31.ppm"},
    };
    for (const Case& c : exact) {
        const RgbPicture want = ReadPpmFile(PictureFixture(c.source));
        ASSERT_GT(want.Width, 0) << c.source;
        EXPECT_EQ(LoadRgb(PictureFixture(c.file)), want) << c.file;
    }
    EXPECT_EQ(cap.Count(), 0u);
}

TEST(PictureFixtures, AgreeWithIndependentDecoders)
{
    ErrorCapture cap;
    const char* bmpPcx[] = {"bmp24_w1.bmp", "bmp24_w161.bmp", "bmp24_top_down.bmp", "pcx24_rle.pcx",
                            "pcx24_plain.pcx"};
    for (const char* f : bmpPcx) {
        const RgbPicture ref = DecodeWith("convert " + Quote(PictureFixture(f)) + " -depth 8 ppm:-");
        ASSERT_GT(ref.Width, 0) << f;
        EXPECT_EQ(LoadRgb(PictureFixture(f)), ref) << f;
    }
    // netpbm reads TGA rows in the right order (ImageMagick 6.9 does not).
    const char* tga24[] = {"tga24_rle_bottom.tga", "tga24_raw_bottom.tga", "tga24_rle_top.tga",
                           "tga32_rle_bottom.tga", "tga32_raw_top.tga"};
    for (const char* f : tga24) {
        const RgbPicture ref = DecodeWith("tgatoppm " + Quote(PictureFixture(f)));
        ASSERT_GT(ref.Width, 0) << f;
        EXPECT_EQ(LoadRgb(PictureFixture(f)), ref) << f;
    }
    // 5-bit colour expands differently in other decoders: compare at 5 bits.
    const char* tga16[] = {"tga16_raw_top.tga", "tga16_rle_top.tga", "tga16_raw_bottom.tga",
                           "tga16_rle_bottom.tga", "tga15_raw_bottom.tga", "tga15_rle_bottom.tga"};
    const RgbPicture source = FiveBits(ReadPpmFile(PictureFixture("src_37x31.ppm")));
    for (const char* f : tga16) {
        const RgbPicture ref = DecodeWith("ffmpeg -nostdin -loglevel error -i " + Quote(PictureFixture(f)) +
                                          " -f image2pipe -vcodec ppm -pix_fmt rgb24 -");
        ASSERT_GT(ref.Width, 0) << f;
        const RgbPicture ours = LoadRgb(PictureFixture(f));
        EXPECT_EQ(FiveBits(ours), FiveBits(ref)) << f;
        // make_variants.py keeps the top 5 bits of the source; ffmpeg rounds.
        if (std::string(f).find("bottom") != std::string::npos) {
            EXPECT_EQ(FiveBits(ours), source) << f;
        }
        for (uint8_t v : ours.Rgb)  // every value comes from the 5-bit table
            ASSERT_EQ(v, (v >> 3) * 255 / 31) << f;
    }
    EXPECT_EQ(cap.Count(), 0u);
}

TEST(PictureFixtures, RefusedVariantsShowTheirTextAndLoadNothing)
{
    struct Case {
        const char* file;
        int code;
        const char* text;
    };
    const std::string depth = "2,4,16 and 256 colr PCX and BMP are not supported.";
    const Case cases[] = {
        {"refuse_bmp8.bmp", 18, depth.c_str()},
        {"refuse_bmp_rle8.bmp", 18, depth.c_str()},
        {"refuse_bmp32.bmp", 18, depth.c_str()},
        {"refuse_tga_type1.tga", 15, "Error: Unsupported image format"},
        {"refuse_tga_type3.tga", 15, "Error: Unsupported image format"},
        {"refuse_tga_type9.tga", 15, "Error: Unsupported image format"},
        {"refuse_tga_type11.tga", 15, "Error: Unsupported image format"},
        {"refuse_tga_colour_map.tga", 15, "Error: Unsupported image format"},
        {"refuse_pcx256.pcx", 18, depth.c_str()},
        {"pcx24_version3.pcx", 18, depth.c_str()},
    };
    for (const Case& c : cases) {
        ErrorCapture cap;
        RasterImage image;
        LoadPicture(PictureFixture(c.file), image);
        EXPECT_FALSE(image.Allocated) << c.file;
        ASSERT_EQ(cap.Count(), 1u) << c.file;
        EXPECT_EQ(cap.LastCode(), c.code) << c.file;
        EXPECT_EQ(cap.LastText(), c.text) << c.file;
        if (c.code == 18) {
            EXPECT_EQ(cap.Messages.back().Caption, "Warning.");
        }
        EXPECT_FALSE(Pio.FileOpen) << c.file;
        EXPECT_EQ(Pio.Dib, nullptr) << c.file;
    }
}

TEST(PictureLoad, ProgressRunsFromBeginToEndPerRefillAndRow)
{
    ErrorCapture cap;
    TempDir dir;
    // 200 rows of 600 bytes: 120000 bytes, several input refills.
    const RgbPicture pic = TestPattern(200, 200);
    RasterImage image;
    FromRgb(pic, image);
    ASSERT_FALSE(SavePicture(dir.File("p.tga"), image));
    RecordingDisplay display;
    ProgressDisplay* old = SetProgressDisplay(&display);
    RasterImage loaded;
    LoadPicture(dir.File("p.tga"), loaded);
    SetProgressDisplay(old);
    EXPECT_EQ(ToRgb(loaded), pic);
    EXPECT_EQ(display.begun, 1);
    EXPECT_EQ(display.ended, 1);
    EXPECT_FALSE(ProgressActive());
    // Refills climb to 100, rows climb again from the start to 100, then the
    // final 100 of the load.
    ASSERT_GE(display.shown.size(), 8u);
    EXPECT_EQ(display.shown.back(), 100);
    size_t drops = 0;
    for (size_t i = 1; i < display.shown.size(); ++i)
        drops += display.shown[i] < display.shown[i - 1];
    EXPECT_EQ(drops, 1u);

    // A failed load ends its progress too.
    display = RecordingDisplay{};
    old = SetProgressDisplay(&display);
    LoadPicture(dir.File("none.tga"), loaded);
    SetProgressDisplay(old);
    EXPECT_FALSE(loaded.Allocated);
    EXPECT_EQ(display.begun, 1);
    EXPECT_EQ(display.ended, 1);
}
