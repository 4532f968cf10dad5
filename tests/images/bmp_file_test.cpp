#include <gtest/gtest.h>

#include "images/picture_file.h"
#include "images/picture_io.h"
#include "images/safe_file.h"
#include "picture_test_util.h"


TEST(BmpWrite, ThreeByTwoIs78BytesWithTheImageHeaderAndReadsBackInImageMagick)
{
    TempDir dir;
    const RgbPicture pic = TestPattern(3, 2);
    RasterImage image;
    FromRgb(pic, image);
    ASSERT_FALSE(SavePicture(dir.File("p.bmp"), image));
    const std::vector<uint8_t> b = ReadAll(dir.File("p.bmp"));
    ASSERT_EQ(b.size(), 78u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(b[2] | b[3] << 8 | b[4] << 16 | b[5] << 24, 78);  // bfSize
    EXPECT_EQ(b[10], 54);                                        // bfOffBits
    EXPECT_EQ(b[14], 40);                                        // biSize
    EXPECT_EQ(b[18], 3);
    EXPECT_EQ(b[22], 2);
    EXPECT_EQ(b[26], 1);   // planes
    EXPECT_EQ(b[28], 24);  // bit count
    for (int i = 30; i < 54; ++i)
        EXPECT_EQ(b[i], 0) << "header byte " << i;
    // The pixel rows with their padding, exactly as in memory.
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 54, b.end()),
              std::vector<uint8_t>(image.Lock(), image.Lock() + image.ImageSize));

    for (int w : {1, 2, 3, 5, 161}) {
        const RgbPicture p = TestPattern(w, 7, static_cast<unsigned>(w));
        RasterImage im;
        FromRgb(p, im);
        const std::string name = dir.File(std::to_string(w) + "w.bmp");
        ASSERT_FALSE(SavePicture(name, im));
        EXPECT_EQ(DecodeWith("convert " + Quote(name) + " -depth 8 ppm:-"), p) << w;
    }
}

TEST(BmpRead, PixelDataSizeComesFromBfSizeWhenBiSizeImageIsZero)
{
    TempDir dir;
    const RgbPicture pic = TestPattern(3, 4);
    std::vector<uint8_t> b = MakeBmp(pic);
    // Room for extra bytes between header and pixels.
    b.insert(b.begin() + 54, 10, 0xAB);
    Put32(b, 10, 64);
    Put32(b, 2, static_cast<uint32_t>(b.size()));
    {
        ErrorCapture cap;
        EXPECT_EQ(LoadBytes(dir, b, cap, "a.bmp"), pic);
    }
    // bfSize one byte short of the pixel rows: refused.
    Put32(b, 2, static_cast<uint32_t>(b.size() - 1));
    {
        ErrorCapture cap;
        LoadBytes(dir, b, cap, "b.bmp");
        EXPECT_EQ(cap.LastCode(), 12);
        EXPECT_EQ(cap.LastText(), "Error: File read error: " + dir.File("b.bmp"));
    }
    // biSizeImage given: bfSize is not used.
    Put32(b, 34, 48);
    {
        ErrorCapture cap;
        EXPECT_EQ(LoadBytes(dir, b, cap, "c.bmp"), pic);
    }
}

TEST(BmpRead, MalformedFilesAreRefusedWithAClearMessage)
{
    TempDir dir;
    const std::vector<uint8_t> good = MakeBmp(TestPattern(5, 4));
    struct Case {
        std::string name;
        std::vector<uint8_t> bytes;
        int code;
        std::string text;
    };
    std::vector<Case> cases;
    auto with = [&](auto change) {
        std::vector<uint8_t> b = good;
        change(b);
        return b;
    };
    const std::string readError = "Error: File read error: ";
    cases.push_back({"short_file_header.bmp", {good.begin(), good.begin() + 10}, 12, readError});
    cases.push_back({"short_info_header.bmp", {good.begin(), good.begin() + 40}, 12, readError});
    cases.push_back({"not_bm.bmp", with([](auto& b) { b[0] = 'X'; }), 16, "Error: This is not Windows bitmat"});
    cases.push_back({"core_header.bmp", with([](auto& b) { Put32(b, 14, 12); }), 16,
                     "Error: This is not Windows bitmat"});
    cases.push_back({"v4_header_compressed.bmp", with([](auto& b) { Put32(b, 14, 108); Put32(b, 30, 3); }), 16,
                     "Error: This is not Windows bitmat"});
    cases.push_back({"odd_header_size.bmp", with([](auto& b) { Put32(b, 14, 64); }), 16,
                     "Error: This is not Windows bitmat"});
    cases.push_back({"pixels_cut_off.bmp", {good.begin(), good.end() - 1}, 12, readError});
    cases.push_back({"size_image_too_small.bmp", with([](auto& b) { Put32(b, 34, 16); }), 12, readError});
    cases.push_back({"off_bits_past_end.bmp", with([](auto& b) { Put32(b, 10, 100000); }), 12, readError});
    cases.push_back({"off_bits_huge.bmp", with([](auto& b) { Put32(b, 10, 0xFFFFFFF0u); }), 12, readError});
    cases.push_back({"zero_width.bmp", with([](auto& b) { Put32(b, 18, 0); }), 15, ""});
    cases.push_back({"zero_height.bmp", with([](auto& b) { Put32(b, 22, 0); }), 15, ""});
    cases.push_back({"negative_width.bmp", with([](auto& b) { Put32(b, 18, 0xFFFFFFFBu); }), 15, ""});
    cases.push_back({"huge_width.bmp", with([](auto& b) { Put32(b, 18, 70000); }), 15, ""});
    cases.push_back({"gigabyte_pixels.bmp", with([](auto& b) {
                         Put32(b, 18, 30000);
                         Put32(b, 22, 30000);
                     }),
                     15, ""});
    cases.push_back({"most_negative_height.bmp", with([](auto& b) { Put32(b, 22, 0x80000000u); }), 15, ""});
    for (const Case& c : cases) {
        ErrorCapture cap;
        EXPECT_EQ(LoadBytes(dir, c.bytes, cap, c.name), RgbPicture{}) << c.name;
        ExpectOneRefusal(cap, c.name, c.code, c.text, dir.File(c.name));
        EXPECT_EQ(Pio.Dib, nullptr);
        EXPECT_FALSE(Pio.FileOpen);
    }
}

TEST(BmpRead, NegativeHeightIsTopDownAndLoadsTheRightWayUp)
{
    TempDir dir;
    const RgbPicture pic = TestPattern(5, 6);
    std::vector<uint8_t> b = MakeBmp(pic);
    // Reverse the row order and negate the height.
    const size_t rowBytes = 16;
    std::vector<uint8_t> flipped(b.begin(), b.begin() + 54);
    for (int y = 5; y >= 0; --y)
        flipped.insert(flipped.end(), b.begin() + 54 + y * rowBytes, b.begin() + 54 + (y + 1) * rowBytes);
    Put32(flipped, 22, static_cast<uint32_t>(-6));
    ErrorCapture cap;
    EXPECT_EQ(LoadBytes(dir, flipped, cap, "top_down.bmp"), pic);
    EXPECT_EQ(cap.Count(), 0u);
}

TEST(BmpWrite, FailureReportsAndLeavesNoNewFile)
{
    TempDir dir;
    RasterImage image;
    FromRgb(TestPattern(8, 8), image);
    ErrorCapture cap;
    EXPECT_TRUE(SavePicture(dir.File("no/such/folder/x.bmp"), image));
    EXPECT_EQ(cap.LastCode(), 11);
    EXPECT_EQ(cap.LastText(), "Error: Error creating file " + dir.File("no/such/folder/x.bmp"));
    // A device that takes no bytes: the write fails after the file was
    // opened; what was there before stays.
    std::filesystem::create_symlink("/dev/full", dir.File("full.bmp"));
    EXPECT_TRUE(SavePicture(dir.File("full.bmp"), image));
    EXPECT_EQ(cap.LastCode(), 13);
    EXPECT_EQ(cap.LastText(), "Error: Error writing to file: " + dir.File("full.bmp"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("full.bmp")));
    RasterImage empty;
    EXPECT_TRUE(SavePicture(dir.File("empty.bmp"), empty));
    EXPECT_EQ(cap.LastCode(), 13);
    EXPECT_EQ(cap.LastText(), "Error: Error writing to file: " + dir.File("empty.bmp"));
    EXPECT_FALSE(FileExists(dir.File("empty.bmp")));
}
