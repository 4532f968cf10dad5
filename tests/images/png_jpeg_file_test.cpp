// PNG and JPEG pictures: fixtures from ImageMagick, netpbm and ffmpeg decode
// to what independent decoders make of them; refused and damaged files name
// themselves and load nothing; written PNG files read back everywhere.
#include <gtest/gtest.h>

#include "images/picture_file.h"
#include "images/picture_io.h"
#include "images/safe_file.h"
#include "picture_test_util.h"

namespace {
// netpbm composites over black and rounds 16-bit samples to 8 bits.
std::string Netpbm(const std::string& file)
{
    return "pngtopnm -mix -background=black " + Quote(file) + " | pnmdepth 255 | ppmtoppm";
}

// ImageMagick itself (/usr/bin), upright and over black. Its 8-bit
// reduction of 16-bit samples is no rounding, so it judges 8-bit files only.
std::string Magick(const std::string& file)
{
    return "/usr/bin/convert " + Quote(file) + " -auto-orient +repage -background black -flatten -depth 8 ppm:-";
}
}  // namespace

TEST(PngJpegFixtures, DecodeLikeIndependentDecoders)
{
    ErrorCapture cap;
    struct Case {
        const char* file;
        bool netpbm;  // compare with netpbm's reading
        bool magick;  // compare with ImageMagick's reading
    };
    const Case cases[] = {
        {"png_grey_1.png", true, true},       {"png_grey_2.png", true, true},
        {"png_grey_4.png", true, true},       {"png_grey_8.png", true, true},
        {"png_grey_16.png", true, false},     {"png_greyalpha_8.png", true, false},
        {"png_greyalpha_16.png", true, false}, {"png_palette_1.png", true, true},
        {"png_palette_2.png", true, true},    {"png_palette_4.png", true, true},
        {"png_palette_8.png", true, true},    {"png_palette_8_trns.png", true, true},
        {"png_rgb_8.png", true, true},        {"png_rgb_16.png", true, false},
        {"png_rgba_8.png", true, false},      {"png_rgba_16.png", true, false},
        // netpbm leaves a colour key opaque; ImageMagick makes it clear.
        {"png_rgb_8_trns.png", false, true},  {"png_grey_1_interlaced.png", true, true},
        {"png_rgb_8_interlaced.png", true, true}, {"png_rgba_16_interlaced.png", true, false},
        {"png_palette_interlaced_netpbm.png", true, true}, {"png_rgb_8_ffmpeg.png", true, true},
        {"jpeg_baseline_420.jpg", false, true}, {"jpeg_baseline_444.jpg", false, true},
        {"jpeg_grey.jpg", false, true},       {"jpeg_progressive.jpg", false, true},
        {"jpeg_progressive_420.jpg", false, true}, {"jpeg_progressive_grey.jpg", false, true},
        {"jpeg_ffmpeg_422.jpg", false, true},
    };
    for (const Case& c : cases) {
        const RgbPicture ours = LoadRgb(PictureFixture(c.file));
        ASSERT_EQ(ours.Width, 37) << c.file;
        ASSERT_EQ(ours.Height, 31) << c.file;
        if (c.netpbm) {
            EXPECT_EQ(ours, DecodeWith(Netpbm(PictureFixture(c.file)))) << c.file;
        }
        if (c.magick) {
            EXPECT_EQ(ours, DecodeWith(Magick(PictureFixture(c.file)))) << c.file;
        }
    }
    // The lossless 8-bit colour files hold their source exactly.
    const RgbPicture source = ReadPpmFile(PictureFixture("src_37x31.ppm"));
    for (const char* f : {"png_rgb_8.png", "png_rgb_8_interlaced.png", "png_rgb_8_ffmpeg.png"})
        EXPECT_EQ(LoadRgb(PictureFixture(f)), source) << f;
    // Transparency goes over black: the clear bottom row is black, the
    // opaque top row keeps its colour.
    const RgbPicture rgba = LoadRgb(PictureFixture("png_rgba_8.png"));
    EXPECT_EQ(std::vector<uint8_t>(rgba.Rgb.end() - 3 * 37, rgba.Rgb.end()), std::vector<uint8_t>(3 * 37, 0));
    EXPECT_EQ(std::vector<uint8_t>(rgba.Rgb.begin(), rgba.Rgb.begin() + 3 * 37),
              std::vector<uint8_t>(source.Rgb.begin(), source.Rgb.begin() + 3 * 37));
    EXPECT_EQ(cap.Count(), 0u);
}

TEST(PngJpegFixtures, ExifOrientationLoadsThePictureUpright)
{
    ErrorCapture cap;
    for (int o = 1; o <= 8; ++o) {
        const std::string f = PictureFixture("jpeg_orient_" + std::to_string(o) + ".jpg");
        const RgbPicture ours = LoadRgb(f);
        // Orientations 5 to 8 are turned a quarter: a portrait picture.
        EXPECT_EQ(ours.Width, o >= 5 ? 31 : 37) << f;
        EXPECT_EQ(ours, DecodeWith(Magick(f))) << f;
    }
    // Orientation 1 is the stored picture itself.
    EXPECT_EQ(LoadRgb(PictureFixture("jpeg_orient_1.jpg")), LoadRgb(PictureFixture("jpeg_baseline_420.jpg")));
    EXPECT_EQ(cap.Count(), 0u);
}

TEST(PngJpegFixtures, RefusedAndDamagedFilesNameThemselvesAndLoadNothing)
{
    TempDir dir;
    WriteAll(dir.File("empty.png"), {});
    WriteAll(dir.File("empty.jpg"), {});
    struct Case {
        std::string file;
        int code;
        std::string text;  // the whole text, or its start when it ends in "("
    };
    const auto f = [](const char* name) { return PictureFixture(name); };
    const Case cases[] = {
        {f("jpeg_cmyk.jpg"), 15, "Error: CMYK JPEG pictures are not supported: " + f("jpeg_cmyk.jpg")},
        {f("damaged_png_cut.png"), 12, "Error: PNG file ends too early: " + f("damaged_png_cut.png")},
        {f("damaged_png_crc.png"), 12, "Error: Damaged PNG file: " + f("damaged_png_crc.png") + " ("},
        {f("damaged_png_deflate.png"), 12, "Error: Damaged PNG file: " + f("damaged_png_deflate.png") + " ("},
        {f("damaged_png_huge.png"), 15, "Error: Picture is too large: " + f("damaged_png_huge.png")},
        {f("damaged_png_claims_more.png"), 12, "Error: PNG file ends too early: " + f("damaged_png_claims_more.png")},
        {f("damaged_png_not_png.png"), 15, "Error: This is not a PNG picture: " + f("damaged_png_not_png.png")},
        {dir.File("empty.png"), 15, "Error: This is not a PNG picture: " + dir.File("empty.png")},
        {f("damaged_jpeg_cut.jpg"), 12, "Error: JPEG file ends too early: " + f("damaged_jpeg_cut.jpg")},
        {f("damaged_jpeg_progressive_cut.jpg"), 12,
         "Error: JPEG file ends too early: " + f("damaged_jpeg_progressive_cut.jpg")},
        {f("damaged_jpeg_data.jpg"), 12,
         "Error: Damaged JPEG file: " + f("damaged_jpeg_data.jpg") +
             " (Corrupt JPEG data: premature end of data segment)"},
        {f("damaged_jpeg_huge.jpg"), 15, "Error: Picture is too large: " + f("damaged_jpeg_huge.jpg")},
        {f("damaged_jpeg_claims_more.jpg"), 12, "Error: JPEG file ends too early: " + f("damaged_jpeg_claims_more.jpg")},
        {f("damaged_jpeg_not_jpeg.jpg"), 15, "Error: This is not a JPEG picture: " + f("damaged_jpeg_not_jpeg.jpg")},
        {dir.File("empty.jpg"), 12, "Error: JPEG file ends too early: " + dir.File("empty.jpg")},
    };
    for (const Case& c : cases) {
        ErrorCapture cap;
        RasterImage image;
        LoadPicture(c.file, image);
        EXPECT_FALSE(image.Allocated) << c.file;
        ASSERT_EQ(cap.Count(), 1u) << c.file;
        EXPECT_EQ(cap.LastCode(), c.code) << c.file;
        if (c.text.back() == '(') {
            EXPECT_EQ(cap.LastText().substr(0, c.text.size()), c.text);
            EXPECT_EQ(cap.LastText().back(), ')') << cap.LastText();
            EXPECT_GT(cap.LastText().size(), c.text.size() + 1) << cap.LastText();
        } else {
            EXPECT_EQ(cap.LastText(), c.text);
        }
        EXPECT_FALSE(Pio.FileOpen) << c.file;
        EXPECT_EQ(Pio.Dib, nullptr) << c.file;
    }
}

TEST(PngWriter, WrittenFilesAreEightBitRgbThatEveryDecoderReadsBack)
{
    TempDir dir;
    ErrorCapture cap;
    // Widths whose rows carry 0 to 3 bytes of padding; a noisy picture
    // exercises the filters and deflate.
    for (const auto& [w, h] : {std::pair{1, 1}, {3, 2}, {5, 3}, {161, 7}, {64, 64}}) {
        const RgbPicture pic = TestPattern(w, h, static_cast<unsigned>(w));
        RasterImage image;
        FromRgb(pic, image);
        const std::string name = dir.File("p.Png");
        ASSERT_FALSE(SavePicture(name, image)) << w;
        const std::vector<uint8_t> bytes = ReadAll(name);
        ASSERT_GT(bytes.size(), 33u);
        // IHDR: width, height, 8 bits, colour type 2 (RGB), not interlaced.
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 12, bytes.begin() + 16),
                  (std::vector<uint8_t>{'I', 'H', 'D', 'R'}));
        EXPECT_EQ(bytes[16] << 24 | bytes[17] << 16 | bytes[18] << 8 | bytes[19], w);
        EXPECT_EQ(bytes[20] << 24 | bytes[21] << 16 | bytes[22] << 8 | bytes[23], h);
        EXPECT_EQ(bytes[24], 8);
        EXPECT_EQ(bytes[25], 2);
        EXPECT_EQ(bytes[28], 0);
        EXPECT_EQ(DecodeWith("pngtopnm " + Quote(name)), pic) << w;
        EXPECT_EQ(DecodeWith("/usr/bin/convert " + Quote(name) + " -depth 8 ppm:-"), pic) << w;
        EXPECT_EQ(DecodeWith("ffmpeg -nostdin -loglevel error -i " + Quote(name) +
                             " -f image2pipe -vcodec ppm -pix_fmt rgb24 -"),
                  pic)
            << w;
        EXPECT_EQ(LoadRgb(name), pic) << w;
    }
    EXPECT_EQ(cap.Count(), 0u);

    // A folder that does not exist: the usual message, no file.
    RasterImage image;
    FromRgb(TestPattern(4, 4), image);
    EXPECT_TRUE(SavePicture(dir.File("none/p.png"), image));
    EXPECT_EQ(cap.LastText(), "Error: Error creating file " + dir.File("none/p.png"));
}
