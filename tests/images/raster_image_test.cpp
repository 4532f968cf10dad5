#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "images/raster_image.h"
#include "test_support.h"

TEST(RasterImage, InitComputesRowBytesSizeAndHeader)
{
    struct Case { int w, h, row, size; } cases[] = {{1, 1, 4, 4}, {160, 100, 480, 48000}, {3, 2, 12, 24}};
    for (const auto& c : cases) {
        RasterImage img;
        EXPECT_FALSE(img.Allocated);
        img.Init(c.w, c.h);
        ASSERT_TRUE(img.Allocated);
        EXPECT_EQ(img.RowBytes, c.row);
        EXPECT_EQ(img.ImageSize, c.size);
        EXPECT_EQ(img.Header.biSize, 40u);
        EXPECT_EQ(img.Header.biWidth, c.w);
        EXPECT_EQ(img.Header.biHeight, c.h);
        EXPECT_EQ(img.Header.biPlanes, 1);
        EXPECT_EQ(img.Header.biBitCount, 24);
        EXPECT_EQ(img.Header.biCompression, 0u);
        EXPECT_EQ(img.Header.biSizeImage, 0u);
        uint8_t* p = img.Lock();
        ASSERT_NE(p, nullptr);
        std::memset(p, 0xAB, img.ImageSize);  // the whole block is writable
        img.Unlock();
        img.Done();
        EXPECT_FALSE(img.Allocated);
        img.Done();  // harmless
        EXPECT_FALSE(img.Allocated);
    }
}

TEST(RasterImage, ImpossibleSizesReportNotAllocated)
{
    RasterImage img;
    img.Init(-5, 10);
    EXPECT_FALSE(img.Allocated);
    img.Init(100000, 100000);  // larger than a 32-bit size
    EXPECT_FALSE(img.Allocated);
    img.Done();
    img.Done();
    EXPECT_FALSE(img.Allocated);
}

TEST(RasterImage, MoveTransfersPixels)
{
    RasterImage a;
    a.Init(2, 2);
    a.Lock()[0] = 42;
    RasterImage b(std::move(a));
    EXPECT_FALSE(a.Allocated);
    ASSERT_TRUE(b.Allocated);
    EXPECT_EQ(b.Lock()[0], 42);
}

TEST(Rounding, ClampRoundCases)
{
    EXPECT_EQ(ClampRound(99, 98.7), 99);
    EXPECT_EQ(ClampRound(99, 99.0), 99);
    EXPECT_EQ(ClampRound(99, 1e12), 99);
    EXPECT_EQ(ClampRound(99, -0.2), 0);
    EXPECT_EQ(ClampRound(99, 2.5), 2);
    EXPECT_EQ(ClampRound(99, 3.5), 4);
    EXPECT_EQ(ClampRound(99, 0.5), 0);
    EXPECT_EQ(ClampRound(-1, 5.0), 0);
    EXPECT_EQ(ClampRound(99, -1e300), 0);
}

TEST(Rounding, AtLeastRoundCases)
{
    EXPECT_EQ(AtLeastRound(0, -3.0), 0);
    EXPECT_EQ(AtLeastRound(0, 0.4), 0);
    EXPECT_EQ(AtLeastRound(0, 0.6), 1);
    EXPECT_EQ(AtLeastRound(0, 2.5), 2);
    EXPECT_EQ(AtLeastRound(0, 1e30), 2147483647);
}

TEST(PackedDib, Helpers)
{
    EXPECT_EQ(DibColourCount(1), 2);
    EXPECT_EQ(DibColourCount(2), 4);
    EXPECT_EQ(DibColourCount(4), 16);
    EXPECT_EQ(DibColourCount(8), 256);
    EXPECT_EQ(DibColourCount(15), 0);
    EXPECT_EQ(DibColourCount(16), 0);
    EXPECT_EQ(DibColourCount(24), 0);
    EXPECT_EQ(DibColourCount(32), 0);
    EXPECT_EQ(DibImageBytes(5, 2, 24), 32);
    EXPECT_EQ(DibImageBytes(5, 2, 8), 16);
    EXPECT_EQ(DibImageBytes(33, 1, 1), 8);
    EXPECT_EQ(DibImageBytes(5, 2, 32), 0);
    EXPECT_EQ(DibImageBytes(5, 2, 2), DibImageBytes(5, 2, 4));
    EXPECT_EQ(DibImageBytes(5, 2, 16), 32);

    uint8_t* dib = CreatePackedDib(nullptr, 5, 2, 32, 40, 24);
    ASSERT_NE(dib, nullptr);
    BitmapInfoHeader h;
    std::memcpy(&h, dib, 40);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 5);
    EXPECT_EQ(h.biHeight, 2);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biSizeImage, 32u);
    EXPECT_EQ(h.biClrUsed, 0u);
    EXPECT_EQ(DibPaletteSize(h), 0);
    for (int i = 40; i < 72; ++i)
        EXPECT_EQ(dib[i], 0);
    DibDimensions d = DibSize(dib);
    EXPECT_EQ(d.Width, 5);
    EXPECT_EQ(d.Height, 2);
    FreePackedDib(dib);
    EXPECT_EQ(DibSize(nullptr).Width, 0);

    // An 8-bit block takes its palette as (blue, green, red, 0).
    uint8_t rgb[256 * 3] = {};
    rgb[3] = 10; rgb[4] = 20; rgb[5] = 30;
    dib = CreatePackedDib(rgb, 4, 1, 4, 40 + 1024, 8);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(dib[40 + 4], 30);
    EXPECT_EQ(dib[40 + 5], 20);
    EXPECT_EQ(dib[40 + 6], 10);
    EXPECT_EQ(dib[40 + 7], 0);
    std::memcpy(&h, dib, 40);
    EXPECT_EQ(h.biClrUsed, 256u);
    EXPECT_EQ(DibPaletteSize(h), 1024);
    h.biWidth = 70000;
    std::memcpy(dib, &h, 40);
    EXPECT_THROW(DibSize(dib), std::range_error);
    FreePackedDib(dib);
}

TEST(ErrorBox, CaptionsAndTextsPerCode)
{
    ErrorCapture cap;
    ShowErrorBox(4, "Linear: bad");
    ShowErrorBox(18, "anything at all");
    ShowErrorBox(11, "Error opening file x.bmp");
    ShowErrorBox(8, "");
    ASSERT_EQ(cap.Count(), 4u);
    EXPECT_EQ(cap.Messages[0].Caption, "Error.");
    EXPECT_EQ(cap.Messages[0].Text, "Error: Linear: bad");
    EXPECT_FALSE(cap.Messages[0].SystemModal);
    EXPECT_EQ(cap.Messages[1].Caption, "Warning.");
    EXPECT_EQ(cap.Messages[1].Text, "2,4,16 and 256 colr PCX and BMP are not supported.");
    EXPECT_FALSE(cap.Messages[1].SystemModal);
    EXPECT_EQ(cap.Messages[2].Caption, "Error");
    EXPECT_EQ(cap.Messages[2].Text, "Error: Error opening file x.bmp");
    EXPECT_TRUE(cap.Messages[2].SystemModal);
    EXPECT_EQ(cap.Messages[3].Text, "Error: ");
}
