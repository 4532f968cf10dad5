#include <gtest/gtest.h>

#include <numeric>

#include "images/picture_io.h"
#include "images/progress.h"
#include "test_support.h"

namespace {
// Sets up an input file and the buffers as a reader would.
void OpenInput(const std::string& name, bool whole)
{
    ResetPictureIo();
    Pio.FileName = name;
    Pio.LoadWholeFile = whole;
    ASSERT_FALSE(OpenInputFile());
    ASSERT_FALSE(AllocIoBuffers());
}

struct RecordingDisplay : ProgressDisplay {
    std::vector<int> shown;
    void ProgressBegun() override {}
    void ProgressChanged(int p) override { shown.push_back(p); }
    void ProgressEnded() override {}
};
}  // namespace

TEST(ByteReader, EmptyInputGivesZeroAndEndAtFirstCall)
{
    TempDir dir;
    WriteAll(dir.File("empty"), {});
    for (bool whole : {false, true}) {
        OpenInput(dir.File("empty"), whole);
        EXPECT_FALSE(Pio.EndOfInput);
        EXPECT_EQ(ReadByte(), 0);
        EXPECT_TRUE(Pio.EndOfInput);
        FreeIoBuffers();
    }
}

TEST(ByteReader, ReadsAcrossRefillsContinuesBehindHeaderAndReportsProgress)
{
    TempDir dir;
    std::vector<uint8_t> data(40000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7 + 3);
    WriteAll(dir.File("in"), data);
    for (bool whole : {false, true}) {
        OpenInput(dir.File("in"), whole);
        EXPECT_EQ(Pio.InBufSize, kMinIoBufferSize);
        uint8_t header[18];
        ASSERT_EQ(ReadInputBlock(header, sizeof header), sizeof header);
        RecordingDisplay display;
        ProgressDisplay* old = SetProgressDisplay(&display);
        BeginProgress();
        for (size_t i = 18; i < data.size(); ++i)
            ASSERT_EQ(ReadByte(), data[i]) << i;
        EXPECT_FALSE(Pio.EndOfInput);
        EXPECT_EQ(ReadByte(), 0);
        EXPECT_TRUE(Pio.EndOfInput);
        EndProgress();
        SetProgressDisplay(old);
        // One report per refill: 16384, 32768, 40000 bytes of 40000.
        EXPECT_EQ(display.shown, (std::vector<int>{41, 82, 100}));
        FreeIoBuffers();
    }
}

TEST(ByteReader, MissingFileIsReported)
{
    ErrorCapture cap;
    ResetPictureIo();
    Pio.FileName = "/nonexistent/x.tga";
    EXPECT_TRUE(OpenInputFile());
    EXPECT_EQ(cap.LastCode(), 11);
    EXPECT_EQ(cap.LastText(), "Error: Error opening file /nonexistent/x.tga");
    EXPECT_TRUE(CreateOutputFile("/nonexistent/y.tga"));
    EXPECT_EQ(cap.LastText(), "Error: Error creating file /nonexistent/y.tga");
}

TEST(ByteSink, FillsExactlyAndFlushes)
{
    ResetPictureIo();
    const int32_t size = 40000;  // more than two sink chunks
    Pio.SinkBufSize = 100;       // raised to 16384
    ASSERT_FALSE(AllocIoBuffers());
    EXPECT_EQ(Pio.SinkBufSize, kMinIoBufferSize);
    Pio.DecodedSize = size;
    ASSERT_FALSE(AllocDecodeBuffer());
    for (int32_t i = 0; i < size; ++i)
        PutByte(i % 251);
    EXPECT_FALSE(Pio.PictureFull);
    PutByte(7);  // one too many: the picture is full and the byte is dropped
    EXPECT_TRUE(Pio.PictureFull);
    PutByte(kFlushByte);
    EXPECT_EQ(Pio.DecodedOffset, size);
    for (int32_t i = 0; i < size; ++i)
        ASSERT_EQ(Pio.Decoded[i], i % 251) << i;
    FreeIoBuffers();

    // A partial picture is completed by the flush.
    ResetPictureIo();
    ASSERT_FALSE(AllocIoBuffers());
    Pio.DecodedSize = 100;
    ASSERT_FALSE(AllocDecodeBuffer());
    for (int i = 0; i < 30; ++i)
        PutByte(i + 1);
    EXPECT_EQ(Pio.DecodedOffset, 0);
    PutByte(kFlushByte);
    EXPECT_EQ(Pio.DecodedOffset, 30);
    EXPECT_EQ(Pio.Decoded[29], 30);
    EXPECT_EQ(Pio.Decoded[30], 0);
    FreeIoBuffers();
}

TEST(Progress, FivePercentRule)
{
    RecordingDisplay display;
    ProgressDisplay* old = SetProgressDisplay(&display);
    BeginProgress();
    EXPECT_TRUE(ProgressActive());
    SetProgress(3);
    EXPECT_TRUE(display.shown.empty());
    SetProgress(5);
    SetProgress(9);
    SetProgress(98);
    SetProgress(100);
    SetProgress(100);
    EXPECT_EQ(display.shown, (std::vector<int>{5, 98, 100, 100}));
    EndProgress();
    EXPECT_FALSE(ProgressActive());
    SetProgressDisplay(old);
}
