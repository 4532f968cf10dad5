#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>
#include <sys/resource.h>

#include "images/avi_file.h"
#include "images/picture_io.h"
#include "images/raster_image.h"
#include "test_support.h"

namespace {

uint32_t U32At(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

uint32_t U16At(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }

std::string TagAt(const std::vector<uint8_t>& b, size_t at)
{
    return std::string(b.begin() + at, b.begin() + at + 4);
}

// A picture of random bytes, row padding included (it must not reach the movie).
RasterImage RandomPicture(int32_t w, int32_t h, unsigned seed)
{
    RasterImage im;
    im.Init(w, h);
    std::mt19937 rng(seed);
    uint8_t* p = im.Lock();
    for (int32_t i = 0; i < im.ImageSize; ++i)
        p[i] = static_cast<uint8_t>(rng());
    im.Unlock();
    return im;
}

// Frame bytes as the layout defines them: bottom row first, blue, green, red, 0.
std::vector<uint8_t> FramePixels(const RasterImage& im)
{
    std::vector<uint8_t> out;
    const uint8_t* p = im.Lock();
    for (int32_t y = 0; y < im.Height(); ++y)
        for (int32_t x = 0; x < im.Width(); ++x) {
            const uint8_t* px = p + y * im.RowBytes + 3 * x;
            out.insert(out.end(), {px[0], px[1], px[2], 0});
        }
    im.Unlock();
    return out;
}

// What a decoder gives as bgr24: top row first.
std::vector<uint8_t> TopDownBgr(const RasterImage& im)
{
    std::vector<uint8_t> out;
    const uint8_t* p = im.Lock();
    for (int32_t y = im.Height() - 1; y >= 0; --y)
        out.insert(out.end(), p + y * im.RowBytes, p + y * im.RowBytes + 3 * im.Width());
    im.Unlock();
    return out;
}

std::vector<RasterImage> RandomFrames(int32_t w, int32_t h, int n, unsigned seed)
{
    std::vector<RasterImage> frames;
    for (int i = 0; i < n; ++i)
        frames.push_back(RandomPicture(w, h, seed + static_cast<unsigned>(i)));
    return frames;
}

// Begins, writes all frames and finishes, expecting no failure anywhere.
void WriteMovie(const std::string& name, const AviParams& p, const std::vector<RasterImage>& frames)
{
    ASSERT_FALSE(AviBegin(name, p));
    for (const RasterImage& f : frames)
        ASSERT_FALSE(AviWriteFrame(f));
    ASSERT_FALSE(AviFinish());
}

bool HaveFfmpeg()
{
    return RunCommand("ffprobe -version >/dev/null 2>&1") == 0 && RunCommand("ffmpeg -version >/dev/null 2>&1") == 0;
}

// "codec,type,width,height,rate,frames" of the only stream, and the stream count.
std::string Probe(const std::string& name)
{
    std::string streams, info;
    RunCommand("ffprobe -v error -show_entries format=nb_streams -of csv=p=0 '" + name + "'", &streams);
    RunCommand("ffprobe -v error -count_frames -show_entries "
               "stream=codec_name,codec_type,width,height,r_frame_rate,nb_read_frames -of csv=p=0 '" +
                   name + "'",
               &info);
    return streams + info;
}

std::vector<uint8_t> DecodeBgr(const std::string& name)
{
    std::string out;
    EXPECT_EQ(RunCommand("ffmpeg -v error -i '" + name + "' -f rawvideo -pix_fmt bgr24 -", &out), 0);
    return std::vector<uint8_t>(out.begin(), out.end());
}

std::vector<uint8_t> Concat(const std::vector<RasterImage>& frames, size_t count)
{
    std::vector<uint8_t> all;
    for (size_t i = 0; i < count; ++i) {
        const std::vector<uint8_t> one = TopDownBgr(frames[i]);
        all.insert(all.end(), one.begin(), one.end());
    }
    return all;
}

// Limits the size of files this process writes, so that writes fail at a
// chosen byte; restores the limit when it goes.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &Old);
        OldSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit r = Old;
        r.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &Old);
        std::signal(SIGXFSZ, OldSignal);
    }

private:
    rlimit Old{};
    void (*OldSignal)(int) = nullptr;
};

}  // namespace

TEST(AviLayout, HeaderChunksAndIndexOfFiveFramesAtOneSecond)
{
    TempDir dir;
    const std::string name = dir.File("movie.avi");
    const auto frames = RandomFrames(160, 100, 5, 11);
    WriteMovie(name, {160, 100, 5, 1000}, frames);
    const std::vector<uint8_t> b = ReadAll(name);
    ASSERT_EQ(b.size(), 320352u);

    const std::pair<size_t, const char*> tags[] = {
        {0, "RIFF"}, {8, "AVI "}, {12, "LIST"}, {20, "hdrl"}, {24, "avih"}, {88, "LIST"}, {96, "strl"},
        {100, "strh"}, {108, "vids"}, {112, "DIB "}, {164, "strf"}, {212, "LIST"}, {220, "movi"}};
    for (const auto& [at, tag] : tags)
        EXPECT_EQ(TagAt(b, at), tag) << at;
    // Offset and value of every 32-bit field; the rest of the header is 0.
    const std::pair<size_t, uint32_t> fields[] = {
        {4, 320344}, {16, 192}, {28, 56}, {32, 1000000}, {36, 64000}, {40, 2038}, {44, 8}, {48, 5},
        {56, 1}, {64, 160}, {68, 100}, {72, 30}, {76, 30}, {84, 320344}, {92, 116}, {104, 56},
        {128, 30}, {132, 30}, {140, 5}, {168, 40}, {172, 40}, {176, 160}, {180, 100}, {216, 320044}};
    std::vector<bool> seen(224);
    for (const auto& [at, value] : fields) {
        EXPECT_EQ(U32At(b, at), value) << at;
        seen[at] = true;
    }
    for (const auto& [at, tag] : tags)
        seen[at] = true;
    for (size_t at = 52; at < 212; at += 4) {
        if (!seen[at] && at != 160 && at != 184) {
            EXPECT_EQ(U32At(b, at), 0u) << at;
        }
    }
    EXPECT_EQ(U16At(b, 160), 160u);  // frame rectangle right, bottom
    EXPECT_EQ(U16At(b, 162), 100u);
    EXPECT_EQ(U16At(b, 184), 1u);    // planes, bits per pixel
    EXPECT_EQ(U16At(b, 186), 32u);

    for (size_t i = 0; i < 5; ++i) {
        const size_t at = 224 + i * 64008;
        EXPECT_EQ(TagAt(b, at), "00db") << i;
        EXPECT_EQ(U32At(b, at + 4), 64000u) << i;
        const std::vector<uint8_t> pixels(b.begin() + at + 8, b.begin() + at + 8 + 64000);
        EXPECT_EQ(pixels, FramePixels(frames[i])) << "frame " << i;
    }
    EXPECT_EQ(TagAt(b, 192248), "00db");  // the fourth frame chunk

    const size_t idx = 224 + 5 * 64008;
    EXPECT_EQ(TagAt(b, idx), "idx1");
    EXPECT_EQ(U32At(b, idx + 4), 80u);
    for (size_t i = 0; i < 5; ++i) {
        const size_t e = idx + 8 + 16 * i;
        EXPECT_EQ(TagAt(b, e), "00db");
        EXPECT_EQ(U32At(b, e + 4), 16u);
        EXPECT_EQ(U32At(b, e + 8), 224 + i * 64008) << i;  // absolute offsets
        EXPECT_EQ(U32At(b, e + 12), 64000u);
    }
    EXPECT_EQ(U32At(b, idx + 8 + 16 * 3 + 8), 192248u);
    EXPECT_FALSE(AviMovieOpen());
}

TEST(AviLayout, OddWidthRowsComeEachFromTheirOwnPictureRow)
{
    TempDir dir;
    const std::string name = dir.File("odd.avi");
    // Rows of 161 pixels are padded to 484 bytes in the picture, 644 in the movie.
    const auto frames = RandomFrames(161, 7, 2, 21);
    ASSERT_EQ(frames[0].RowBytes, 484);
    WriteMovie(name, {161, 7, 2, 40}, frames);
    const std::vector<uint8_t> b = ReadAll(name);
    const size_t f = 161 * 7 * 4;
    ASSERT_EQ(b.size(), (f + 24) * 2 + 232);
    EXPECT_EQ(U16At(b, 160), 161u);
    EXPECT_EQ(U32At(b, 176), 161u);
    for (size_t i = 0; i < 2; ++i) {
        const size_t at = 224 + i * (f + 8);
        ASSERT_EQ(U32At(b, at + 4), f);
        const uint8_t* pic = frames[i].Lock();
        for (size_t y = 0; y < 7; ++y) {
            const uint8_t* movieRow = b.data() + at + 8 + y * 644;
            const uint8_t* picRow = pic + y * 484;
            for (size_t x = 0; x < 161; ++x) {
                ASSERT_EQ(std::memcmp(movieRow + 4 * x, picRow + 3 * x, 3), 0) << "row " << y << " x " << x;
                ASSERT_EQ(movieRow[4 * x + 3], 0);
            }
        }
        frames[i].Unlock();
    }
}

TEST(AviLayout, RatesAndDelaysRoundToNearest)
{
    TempDir dir;
    struct Case {
        int32_t delay;
        uint32_t rate, microseconds, maxBytesPerSecond;
    };
    // Frames of 10 x 10 pixels: 400 bytes.
    const Case cases[] = {
        {3, 10000, 3000, 133333},   // 1000 / 3 x 30; 400 / 0.003
        {40, 750, 40000, 10000},    // 25 frames per second
        {7, 4286, 7000, 57143},     // 4285.71..., 57142.86...
        {1, 30000, 1000, 400000},
        {1000, 30, 1000000, 400},
        {3000000, 0, 3000000000u, 0},  // a frame every 50 minutes: rate rounds to 0
    };
    const auto frame = RandomFrames(10, 10, 1, 5);
    for (const Case& c : cases) {
        const std::string name = dir.File(std::to_string(c.delay) + "ms.avi");
        WriteMovie(name, {10, 10, 1, c.delay}, frame);
        const std::vector<uint8_t> b = ReadAll(name);
        ASSERT_EQ(b.size(), (400u + 24) * 1 + 232);
        EXPECT_EQ(U32At(b, 32), c.microseconds) << c.delay;
        EXPECT_EQ(U32At(b, 36), c.maxBytesPerSecond) << c.delay;
        EXPECT_EQ(U32At(b, 76), c.rate) << c.delay;
        EXPECT_EQ(U32At(b, 128), 30u) << c.delay;
        EXPECT_EQ(U32At(b, 132), c.rate) << c.delay;
    }
}

TEST(AviPlayers, FfprobeAndFfmpegReadEveryFrameExactly)
{
    if (!HaveFfmpeg())
        GTEST_SKIP() << "ffmpeg/ffprobe not installed";
    TempDir dir;
    struct Case {
        int32_t w, h, n, delay;
        std::string rate;
    };
    for (const Case& c : {Case{161, 53, 4, 40, "25/1"}, Case{160, 100, 5, 1000, "1/1"}, Case{41, 40, 3, 3, "1000/3"}}) {
        const std::string name = dir.File("play" + std::to_string(c.w) + ".avi");
        const auto frames = RandomFrames(c.w, c.h, c.n, static_cast<unsigned>(c.w));
        WriteMovie(name, {c.w, c.h, c.n, c.delay}, frames);
        EXPECT_EQ(Probe(name), "1\nrawvideo,video," + std::to_string(c.w) + "," + std::to_string(c.h) + "," +
                                   c.rate + "," + std::to_string(c.n) + "\n");
        EXPECT_TRUE(DecodeBgr(name) == Concat(frames, frames.size())) << name;
    }
}

TEST(AviRefusals, UnrepresentableMoviesAreRefusedBeforeTheFileExists)
{
    TempDir dir;
    struct Case {
        AviParams p;
        std::string why;
    };
    const Case cases[] = {
        {{65536, 100, 5, 40}, "AVI frame size 65536 x 100 is larger than 65535 x 65535"},
        {{100, 70000, 5, 40}, "AVI frame size 100 x 70000 is larger than 65535 x 65535"},
        {{0, 100, 5, 40}, "AVI frame size 0 x 100 is not a picture size"},
        {{100, -3, 5, 40}, "AVI frame size 100 x -3 is not a picture size"},
        {{100, 100, 0, 40}, "an AVI movie needs at least one frame (frame count 0)"},
        {{100, 100, 5, 0}, "AVI frame delay 0 ms is not positive"},
        // (4 + 24) x 76695837 + 224 = 2147483660, just above the signed 32-bit limit.
        {{1, 1, 76695837, 40}, "an AVI movie of 76695837 frames of 1 x 1 pixels would exceed the 2 GB size limit of AVI files"},
        {{65535, 65535, 1, 40}, "an AVI movie of 1 frame of 65535 x 65535 pixels would exceed the 2 GB size limit of AVI files"},
        {{65535, 65535, INT32_MAX, 1}, "an AVI movie of 2147483647 frames of 65535 x 65535 pixels would exceed the 2 GB size limit of AVI files"},
    };
    for (const Case& c : cases) {
        ErrorCapture cap;
        const std::string name = dir.File("refused.avi");
        EXPECT_TRUE(AviBegin(name, c.p));
        ASSERT_EQ(cap.Count(), 1u);
        EXPECT_EQ(cap.LastCode(), 11);
        EXPECT_EQ(cap.LastText(), "Error: Error creating file " + name + ": " + c.why);
        EXPECT_FALSE(std::filesystem::exists(name)) << c.why;
        EXPECT_FALSE(AviMovieOpen());
    }
}

TEST(AviRefusals, LargestRepresentableSizesAreAccepted)
{
    TempDir dir;
    ErrorCapture cap;
    // (4 + 24) x 76695836 + 224 = 2147483632: fits. Finishing with no frame
    // written leaves a valid empty movie rather than a 2 GB promise.
    const std::string big = dir.File("big.avi");
    ASSERT_FALSE(AviBegin(big, {1, 1, 76695836, 40}));
    // Until it is finished the movie is a temporary file beside its name.
    EXPECT_FALSE(std::filesystem::exists(big));
    std::string pending;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        pending = e.path().string();
    ASSERT_EQ(pending.rfind(big + ".tmp", 0), 0u) << pending;
    EXPECT_EQ(U32At(ReadAll(pending), 4), 2147483632u);
    EXPECT_EQ(U32At(ReadAll(pending), 216), (4u + 8) * 76695836 + 4);
    EXPECT_FALSE(AviFinish());
    const std::vector<uint8_t> b = ReadAll(big);
    ASSERT_EQ(b.size(), 232u);
    EXPECT_EQ(U32At(b, 4), 224u);
    EXPECT_EQ(U32At(b, 48), 0u);
    EXPECT_EQ(U32At(b, 216), 4u);
    EXPECT_EQ(TagAt(b, 224), "idx1");
    EXPECT_EQ(U32At(b, 228), 0u);

    const std::string wide = dir.File("wide.avi");
    WriteMovie(wide, {65535, 1, 1, 40}, RandomFrames(65535, 1, 1, 3));
    EXPECT_EQ(U16At(ReadAll(wide), 160), 65535u);
    EXPECT_EQ(cap.Count(), 0u);
}

TEST(AviFailures, CreateAndHeaderWriteFailuresAreReported)
{
    TempDir dir;
    ErrorCapture cap;
    EXPECT_TRUE(AviBegin("/nonexistent-quorvix/m.avi", {10, 10, 1, 40}));
    EXPECT_EQ(cap.LastCode(), 11);
    EXPECT_EQ(cap.LastText(), "Error: Error creating file /nonexistent-quorvix/m.avi");

    EXPECT_TRUE(AviBegin("/dev/full", {10, 10, 1, 40}));
    EXPECT_EQ(cap.LastCode(), 13);
    EXPECT_EQ(cap.LastText(), "Error: Error writing to file: /dev/full");
    EXPECT_FALSE(AviMovieOpen());
    EXPECT_TRUE(std::filesystem::exists("/dev/full"));  // a device is never removed
    EXPECT_FALSE(Pio.OutputOpen);

    // A header cut short leaves no file behind.
    const std::string name = dir.File("short.avi");
    {
        FileSizeLimit limit(100);
        EXPECT_TRUE(AviBegin(name, {10, 10, 1, 40}));
    }
    EXPECT_EQ(cap.LastText(), "Error: Error writing to file: " + name);
    EXPECT_FALSE(std::filesystem::exists(name));
    EXPECT_EQ(cap.Count(), 3u);
}

TEST(AviFailures, FailedFrameLeavesAValidMovieOfTheCompleteFrames)
{
    TempDir dir;
    ErrorCapture cap;
    const std::string name = dir.File("cut.avi");
    const int32_t w = 64, h = 48;
    const size_t f = w * h * 4;
    const auto frames = RandomFrames(w, h, 5, 31);
    {
        // The third frame stops half-way.
        FileSizeLimit limit(224 + 2 * (f + 8) + f / 2);
        ASSERT_FALSE(AviBegin(name, {w, h, 5, 40}));
        EXPECT_FALSE(AviWriteFrame(frames[0]));
        EXPECT_FALSE(AviWriteFrame(frames[1]));
        EXPECT_TRUE(AviWriteFrame(frames[2]));
        EXPECT_EQ(cap.LastCode(), 13);
        EXPECT_EQ(cap.LastText(), "Error: Error writing to AVI file: " + name);
        // After a failed write the movie takes no more frames.
        EXPECT_TRUE(AviWriteFrame(frames[3]));
        EXPECT_EQ(cap.LastText(), "Error: Error writing to AVI file: " + name);
        EXPECT_FALSE(AviFinish());
    }
    EXPECT_EQ(cap.Count(), 2u);
    EXPECT_FALSE(Pio.OutputOpen);
    const std::vector<uint8_t> b = ReadAll(name);
    ASSERT_EQ(b.size(), (f + 24) * 2 + 232);
    EXPECT_EQ(U32At(b, 4), (f + 24) * 2 + 224);
    EXPECT_EQ(U32At(b, 84), (f + 24) * 2 + 224);
    EXPECT_EQ(U32At(b, 48), 2u);
    EXPECT_EQ(U32At(b, 140), 2u);
    EXPECT_EQ(U32At(b, 216), (f + 8) * 2 + 4);
    const size_t idx = 224 + 2 * (f + 8);
    EXPECT_EQ(TagAt(b, idx), "idx1");
    EXPECT_EQ(U32At(b, idx + 4), 32u);
    EXPECT_EQ(U32At(b, idx + 8 + 16 + 8), 224 + f + 8);
    if (HaveFfmpeg()) {
        EXPECT_EQ(Probe(name), "1\nrawvideo,video,64,48,25/1,2\n");
        EXPECT_TRUE(DecodeBgr(name) == Concat(frames, 2));
    }
}

TEST(AviFailures, FailedIndexLeavesAllFramesReadable)
{
    TempDir dir;
    ErrorCapture cap;
    const std::string name = dir.File("noindex.avi");
    const int32_t w = 40, h = 40;
    const size_t f = w * h * 4;
    const size_t moviEnd = 224 + 3 * (f + 8);
    const auto frames = RandomFrames(w, h, 3, 41);
    {
        FileSizeLimit limit(moviEnd + 20);  // idx1 and part of the first entry
        ASSERT_FALSE(AviBegin(name, {w, h, 3, 40}));
        for (const RasterImage& fr : frames)
            ASSERT_FALSE(AviWriteFrame(fr));
        EXPECT_TRUE(AviFinish());
    }
    EXPECT_EQ(cap.Count(), 1u);
    EXPECT_EQ(cap.LastText(), "Error: Error writing to AVI file: " + name);
    EXPECT_FALSE(AviMovieOpen());
    EXPECT_FALSE(Pio.OutputOpen);
    const std::vector<uint8_t> b = ReadAll(name);
    ASSERT_EQ(b.size(), moviEnd);
    EXPECT_EQ(U32At(b, 4), moviEnd - 8);  // the RIFF size no longer claims an index
    EXPECT_EQ(U32At(b, 48), 3u);
    if (HaveFfmpeg()) {
        EXPECT_TRUE(DecodeBgr(name) == Concat(frames, 3));
    }
}

TEST(AviCallOrder, MisuseIsRefusedAndFinishIsIdempotent)
{
    TempDir dir;
    ErrorCapture cap;
    const auto frames = RandomFrames(20, 10, 3, 51);
    const RasterImage wrong = RandomPicture(21, 10, 7);
    RasterImage empty;

    EXPECT_FALSE(AviFinish());  // nothing begun: nothing to do
    EXPECT_EQ(cap.Count(), 0u);
    EXPECT_TRUE(AviWriteFrame(frames[0]));
    EXPECT_EQ(cap.LastText(), "Error: Error writing to AVI file: no movie is open");

    const std::string name = dir.File("order.avi");
    ASSERT_FALSE(AviBegin(name, {20, 10, 2, 40}));
    EXPECT_TRUE(AviMovieOpen());
    EXPECT_TRUE(AviBegin(dir.File("second.avi"), {20, 10, 2, 40}));
    EXPECT_EQ(cap.LastText(), "Error: Error creating file " + dir.File("second.avi") +
                                  ": another AVI movie is still being written");
    EXPECT_FALSE(std::filesystem::exists(dir.File("second.avi")));

    // Frames of another size are refused without harming the movie.
    EXPECT_TRUE(AviWriteFrame(wrong));
    EXPECT_EQ(cap.LastText(), "Error: Error writing to AVI file: a frame of 21 x 10 pixels does not fit a movie of 20 x 10");
    EXPECT_TRUE(AviWriteFrame(empty));
    EXPECT_FALSE(AviWriteFrame(frames[0]));
    EXPECT_FALSE(AviWriteFrame(frames[1]));
    EXPECT_TRUE(AviWriteFrame(frames[2]));  // one more than planned
    EXPECT_EQ(cap.LastText(), "Error: Error writing to AVI file: the movie already holds its 2 frames");
    const size_t before = cap.Count();
    EXPECT_FALSE(AviFinish());
    EXPECT_FALSE(AviMovieOpen());
    const std::vector<uint8_t> b = ReadAll(name);
    const size_t f = 20 * 10 * 4;
    ASSERT_EQ(b.size(), (f + 24) * 2 + 232);
    EXPECT_EQ(U32At(b, 48), 2u);
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 232 + f + 8, b.begin() + 232 + 2 * f + 8), FramePixels(frames[1]));

    // A second finish changes nothing and reports nothing.
    EXPECT_FALSE(AviFinish());
    EXPECT_EQ(ReadAll(name), b);
    EXPECT_EQ(cap.Count(), before);
}

TEST(AviCallOrder, EarlyStopAndLostStreamAreHandled)
{
    TempDir dir;
    ErrorCapture cap;
    const auto frames = RandomFrames(16, 8, 2, 61);
    const size_t f = 16 * 8 * 4;

    // A generator that stops after two of five frames without a write failure.
    const std::string early = dir.File("early.avi");
    ASSERT_FALSE(AviBegin(early, {16, 8, 5, 40}));
    ASSERT_FALSE(AviWriteFrame(frames[0]));
    ASSERT_FALSE(AviWriteFrame(frames[1]));
    EXPECT_FALSE(AviFinish());
    const std::vector<uint8_t> b = ReadAll(early);
    ASSERT_EQ(b.size(), (f + 24) * 2 + 232);
    EXPECT_EQ(U32At(b, 4), (f + 24) * 2 + 224);
    EXPECT_EQ(U32At(b, 140), 2u);
    EXPECT_EQ(cap.Count(), 0u);

    // The work area's stream taken over in between: the movie cannot go on.
    const std::string lost = dir.File("lost.avi");
    ASSERT_FALSE(AviBegin(lost, {16, 8, 2, 40}));
    ASSERT_FALSE(AviWriteFrame(frames[0]));
    ASSERT_FALSE(CreateOutputFile(dir.File("other.tga")));
    EXPECT_TRUE(AviWriteFrame(frames[1]));
    EXPECT_EQ(cap.LastText(), "Error: Error writing to AVI file: the movie file was closed");
    EXPECT_TRUE(AviFinish());
    EXPECT_EQ(cap.LastText(), "Error: Error writing to AVI file: the movie file was closed before its index was written");
    EXPECT_FALSE(AviMovieOpen());
    EXPECT_TRUE(Pio.OutputOpen);  // the other file is not touched
    CloseFile();
}
