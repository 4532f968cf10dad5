// Damaged picture files: every fixture (BMP, TGA, PCX, PNG, JPEG) truncated
// and with bytes changed goes through the loader. Nothing may crash, read out
// of bounds or leak (run under the sanitizer build); a refusal leaves nothing
// allocated.
#include <gtest/gtest.h>

#include <filesystem>

#include "images/picture_file.h"
#include "images/picture_io.h"
#include "picture_test_util.h"

TEST(PictureDamage, TruncatedAndMutatedFilesLoadOrAreRefusedCleanly)
{
    TempDir dir;
    ErrorCapture cap;
    std::vector<std::string> fixtures;
    for (const auto& e : std::filesystem::directory_iterator(FixturesDir() + "/pictures")) {
        const std::string ext = e.path().extension().string();
        if (ext == ".bmp" || ext == ".tga" || ext == ".pcx" || ext == ".png" || ext == ".jpg")
            fixtures.push_back(e.path().string());
    }
    ASSERT_GE(fixtures.size(), 80u);
    uint32_t s = 12345;
    auto rnd = [&] { return s = s * 1664525u + 1013904223u, s >> 8; };
    int loaded = 0, refused = 0;
    for (const std::string& f : fixtures) {
        const std::vector<uint8_t> good = ReadAll(f);
        const std::string name = dir.File(std::filesystem::path(f).extension().string().insert(0, 1, 'x'));
        std::vector<std::vector<uint8_t>> variants;
        for (size_t cut : {size_t(0), size_t(1), size_t(13), size_t(17), size_t(18), size_t(53), size_t(54),
                           size_t(127), size_t(128), good.size() / 2, good.size() - 1})
            if (cut < good.size())
                variants.emplace_back(good.begin(), good.begin() + static_cast<long>(cut));
        for (int m = 0; m < 25; ++m) {
            std::vector<uint8_t> b = good;
            const int changes = 1 + static_cast<int>(rnd() % 4);
            for (int k = 0; k < changes; ++k) {
                // Mostly header bytes, where the sizes live.
                const size_t at = rnd() % 2 ? rnd() % std::min<size_t>(b.size(), 130) : rnd() % b.size();
                b[at] = static_cast<uint8_t>(rnd() % 3 == 0 ? 0xFF : rnd());
            }
            variants.push_back(std::move(b));
        }
        for (const auto& v : variants) {
            WriteAll(name, v);
            const size_t before = cap.Count();
            RasterImage image;
            LoadPicture(name, image);
            if (image.Allocated) {
                ++loaded;
                EXPECT_EQ(cap.Count(), before);
                EXPECT_GT(image.Width(), 0);
                EXPECT_GT(image.Height(), 0);
                EXPECT_LE(int64_t{image.ImageSize}, int64_t{1} << 30);
            } else {
                ++refused;
                EXPECT_EQ(cap.Count(), before + 1) << f;  // exactly one message
            }
            EXPECT_EQ(Pio.Dib, nullptr);
            EXPECT_EQ(Pio.Decoded, nullptr);
            EXPECT_EQ(Pio.InBuf, nullptr);
            EXPECT_FALSE(Pio.FileOpen);
        }
    }
    // Both outcomes occur: truncated TGA/PCX load, damaged headers refuse.
    EXPECT_GT(loaded, 100);
    EXPECT_GT(refused, 100);
}
