#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "images/picture_file.h"
#include "images/result_view.h"
#include "mesh/mesh_frame.h"
#include "numerics/real48.h"
#include "test_support.h"

namespace {
std::string Q(const std::string& s) { return "'" + s + "'"; }

void Fill(RasterImage& image, int32_t w, int32_t h, uint8_t blue, uint8_t green, uint8_t red)
{
    image.Init(w, h);
    ASSERT_TRUE(image.Allocated);
    uint8_t* p = image.Lock();
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* q = p + static_cast<size_t>(y) * image.RowBytes + 3 * x;
            q[0] = blue;
            q[1] = green;
            q[2] = red;
        }
    image.Unlock();
}

void FillRandom(RasterImage& image, int32_t w, int32_t h, uint32_t seed)
{
    image.Init(w, h);
    ASSERT_TRUE(image.Allocated);
    std::mt19937 rng(seed);
    uint8_t* p = image.Lock();
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < 3 * w; ++x)
            p[static_cast<size_t>(y) * image.RowBytes + x] = static_cast<uint8_t>(rng());
    image.Unlock();
}

// Pixel (x, y), y counted from the top; channel 0 blue .. 2 red.
uint8_t At(const RasterImage& image, int32_t x, int32_t y, int channel)
{
    const uint8_t* p = image.Lock();
    const uint8_t v =
        p[static_cast<size_t>(image.Height() - 1 - y) * image.RowBytes + 3 * x + channel];
    image.Unlock();
    return v;
}

bool SamePixels(const RasterImage& a, const RasterImage& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return false;
    for (int32_t y = 0; y < a.Height(); ++y)
        for (int32_t x = 0; x < a.Width(); ++x)
            for (int c = 0; c < 3; ++c)
                if (At(a, x, y, c) != At(b, x, y, c))
                    return false;
    return true;
}

// A regular cols x rows mesh over the unit square.
TMeshDefsData Grid(int32_t cols, int32_t rows)
{
    TMeshDefsData m(cols, rows);
    for (int32_t j = 0; j < rows; ++j)
        for (int32_t i = 0; i < cols; ++i)
            m.SetNode(i, j, {i / (cols - 1.0), j / (rows - 1.0)}, false);
    return m;
}

MeshMorphSettings Settings(int32_t total, int32_t w, int32_t h)
{
    MeshMorphSettings s;
    std::memset(&s, 0, sizeof s);
    s.DoAnimation = 1;
    s.DoMorph = 1;
    s.TotalFrames = total;
    s.FirstFrame = 1;
    s.LastFrame = total;
    s.CurrentFrame = 1;
    s.FrameDelay = 100;
    s.OutputPrefix.Set("Out");
    s.ResultWidth = w;
    s.ResultHeight = h;
    return s;
}

// Remembers the blue value of the top-left pixel of every frame handed over.
class RecordingView : public ResultView {
public:
    void SetPicture(RasterImage&& picture) override
    {
        Blues.push_back(At(picture, 0, 0, 0));
        Shown = std::move(picture);
    }
    void RefreshView() override { ++Refreshes; }
    std::vector<int> Blues;
    int Refreshes = 0;
    RasterImage Shown;
};

// The brightest pixel (sum of channels); the first one found on a tie.
std::pair<int32_t, int32_t> Brightest(const RasterImage& image)
{
    int best = -1;
    std::pair<int32_t, int32_t> at{-1, -1};
    for (int32_t y = 0; y < image.Height(); ++y)
        for (int32_t x = 0; x < image.Width(); ++x) {
            const int v = At(image, x, y, 0) + At(image, x, y, 1) + At(image, x, y, 2);
            if (v > best) {
                best = v;
                at = {x, y};
            }
        }
    return at;
}

// Constant pictures 0 and 200 (blue) with identity meshes: frame k of 5 has
// blue 50 * (k - 1), so every frame tells its own number.
struct NumberedFrames {
    RasterImage Left, Right;
    TMeshDefsData LeftMesh = Grid(2, 2);
    TMeshDefsData RightMesh = Grid(2, 2);
    NumberedFrames()
    {
        Fill(Left, 30, 20, 0, 0, 0);
        Fill(Right, 30, 20, 200, 0, 0);
    }
};

int BlueOfFrame(int k) { return 50 * (k - 1); }

std::vector<std::string> FilesIn(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
}  // namespace

TEST(MeshFrameMesh, EndpointsAreTheMeshesThemselvesAndTheMiddleIsTheBlend)
{
    const int32_t n = 7;
    const double vl = RoundReal48(0.1);
    const double vr = RoundReal48(0.7);
    TMeshDefsData left = Grid(3, 2), right = Grid(3, 2);
    left.SetNode(1, 0, {vl, 0.25}, false);
    right.SetNode(1, 0, {vr, 0.75}, false);

    const TMeshDefsData first = BlendFrameMesh(left, right, 1, n, 161, 101);
    const TMeshDefsData last = BlendFrameMesh(left, right, n, n, 161, 101);
    for (size_t i = 0; i < left.X.size(); ++i) {
        EXPECT_EQ(first.X[i], RoundReal48(left.X[i] * 160)) << i;
        EXPECT_EQ(first.Y[i], RoundReal48(left.Y[i] * 100)) << i;
        EXPECT_EQ(last.X[i], RoundReal48(right.X[i] * 160)) << i;
        EXPECT_EQ(last.Y[i], RoundReal48(right.Y[i] * 100)) << i;
    }
    // Frame 4 of 7 is halfway: y 0.25 .. 0.75 gives 0.5, 50 pixels of 100.
    const TMeshDefsData mid = BlendFrameMesh(left, right, 4, n, 161, 101);
    EXPECT_EQ(mid.Y[1], 50.0);
    EXPECT_EQ(mid.X[2], 160.0);
    // Frame 2 of 5 from 0 to 1 is a quarter: 0.25 x 100.
    TMeshDefsData a = Grid(2, 2), b = Grid(2, 2);
    a.SetNode(0, 0, {0.0, 0.0}, false);
    b.SetNode(0, 0, {1.0, 1.0}, false);
    const TMeshDefsData q = BlendFrameMesh(a, b, 2, 5, 101, 101);
    EXPECT_EQ(q.X[0], 25.0);
    EXPECT_EQ(q.Y[0], 25.0);
    // Pixel meshes of the pictures scale by their own size.
    const TMeshDefsData px = MeshInPixels(right, 11, 21);
    EXPECT_EQ(px.X[2], 10.0);
    EXPECT_EQ(px.Y[5], 20.0);
}

TEST(MeshFrameDissolve, ProductIsExactAndRoundingGoesToEven)
{
    EXPECT_EQ(DissolveChannel(10, 15, 3, 5), 12);   // 12.5
    EXPECT_EQ(DissolveChannel(11, 16, 3, 5), 14);   // 13.5
    EXPECT_EQ(DissolveChannel(200, 0, 2, 3), 100);
    EXPECT_EQ(DissolveChannel(0, 255, 2, 4), 85);
    for (int a = 0; a < 256; a += 5)
        for (int b = 0; b < 256; b += 3) {
            EXPECT_EQ(DissolveChannel(a, b, 1, 9), a);
            EXPECT_EQ(DissolveChannel(a, b, 9, 9), b);
        }

    // The picture routine gives every channel as the formula does and clears
    // the row padding (width 5: 15 bytes of pixels, 1 of padding).
    RasterImage pa, pb, out;
    FillRandom(pa, 5, 4, 1);
    FillRandom(pb, 5, 4, 2);
    out.Init(5, 4);
    ASSERT_TRUE(out.Allocated);
    std::memset(out.Lock(), 0xAB, out.ImageSize);
    CrossDissolve(pa, pb, 4, 7, out);
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 5; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(At(out, x, y, c), DissolveChannel(At(pa, x, y, c), At(pb, x, y, c), 4, 7));
        EXPECT_EQ(out.Lock()[static_cast<size_t>(y) * out.RowBytes + 15], 0);
    }
}

TEST(MeshFrame, MorphFrameThreeOfFiveIsTheRoundedMeanPerChannel)
{
    RasterImage left, right, frame;
    Fill(left, 33, 17, 10, 11, 0);
    Fill(right, 20, 40, 15, 16, 255);
    MeshMorphSettings s = Settings(5, 41, 43);
    ErrorCapture errors;
    ASSERT_FALSE(MeshFrame(left, Grid(3, 3), right, Grid(3, 3), s, 3, frame));
    EXPECT_EQ(errors.Count(), 0u);
    ASSERT_TRUE(frame.Allocated);
    ASSERT_EQ(frame.Width(), 41);
    ASSERT_EQ(frame.Height(), 43);
    for (int32_t y = 0; y < 43; y += 7)
        for (int32_t x = 0; x < 41; x += 5) {
            EXPECT_EQ(At(frame, x, y, 0), 12);
            EXPECT_EQ(At(frame, x, y, 1), 14);
            EXPECT_EQ(At(frame, x, y, 2), 128);   // 127.5
        }
}

TEST(MeshFrame, WarpCarriesEachPictureBetweenTheMeshes)
{
    // A bright block under the centre node of the left mesh; the right mesh
    // has that node at a quarter of the picture.
    RasterImage left, right, frame;
    Fill(left, 101, 101, 0, 0, 0);
    {
        uint8_t* p = left.Lock();
        for (int y = 49; y <= 51; ++y)
            for (int x = 49; x <= 51; ++x)
                std::memset(p + static_cast<size_t>(100 - y) * left.RowBytes + 3 * x, 255, 3);
        left.Unlock();
    }
    FillRandom(right, 101, 101, 9);
    TMeshDefsData lm = Grid(3, 3), rm = Grid(3, 3);
    rm.SetNode(1, 1, {0.25, 0.25}, false);
    MeshMorphSettings s = Settings(5, 101, 101);
    s.DoMorph = 0;
    s.WarpSide = 0;
    ErrorCapture errors;

    // Frame 1: the left picture unchanged (same size, its own geometry).
    ASSERT_FALSE(MeshFrame(left, lm, right, rm, s, 1, frame));
    EXPECT_TRUE(SamePixels(frame, left));
    // Frame 3 halfway (37.5), frame 5 on the right mesh's node.
    ASSERT_FALSE(MeshFrame(left, lm, right, rm, s, 3, frame));
    const auto mid = Brightest(frame);
    EXPECT_NEAR(mid.first, 37.5, 1.0);
    EXPECT_NEAR(mid.second, 37.5, 1.0);
    ASSERT_FALSE(MeshFrame(left, lm, right, rm, s, 5, frame));
    const auto end = Brightest(frame);
    EXPECT_NEAR(end.first, 25, 1.0);
    EXPECT_NEAR(end.second, 25, 1.0);

    // The right picture ends on its own mesh: frame N gives it back.
    s.WarpSide = 1;
    ASSERT_FALSE(MeshFrame(left, lm, right, rm, s, 5, frame));
    EXPECT_TRUE(SamePixels(frame, right));
    ASSERT_FALSE(MeshFrame(left, lm, right, rm, s, 1, frame));
    EXPECT_FALSE(SamePixels(frame, right));
    EXPECT_EQ(errors.Count(), 0u);
}

TEST(MeshFrame, UnusableInputIsReportedNotThrown)
{
    RasterImage left, right, empty, frame;
    Fill(left, 20, 20, 1, 2, 3);
    Fill(right, 20, 20, 4, 5, 6);
    ErrorCapture errors;
    MeshMorphSettings s = Settings(1, 40, 40);
    // N = 1 would divide 0 by 0 in the dissolve.
    EXPECT_TRUE(MeshFrame(left, Grid(2, 2), right, Grid(2, 2), s, 1, frame));
    EXPECT_EQ(errors.LastText(), "Error: There is inconsistence in frame numbers.");
    s = Settings(5, 40, 40);
    EXPECT_TRUE(MeshFrame(left, Grid(2, 2), right, Grid(2, 2), s, 6, frame));
    EXPECT_EQ(errors.LastText(), "Error: There is inconsistence in frame numbers.");
    EXPECT_TRUE(MeshFrame(left, Grid(2, 2), right, Grid(3, 2), s, 2, frame));
    EXPECT_NE(errors.LastText().find("(3,2) <> (2,2)"), std::string::npos) << errors.LastText();
    EXPECT_TRUE(MeshFrame(left, Grid(2, 2), empty, Grid(2, 2), s, 2, frame));
    EXPECT_FALSE(frame.Allocated);
    // A warp of the left picture does not need the right one.
    s.DoMorph = 0;
    EXPECT_FALSE(MeshFrame(left, Grid(2, 2), empty, Grid(2, 2), s, 2, frame));
    EXPECT_TRUE(frame.Allocated);
    // Nodes far beyond the Real48 range once scaled to pixels.
    TMeshDefsData huge = Grid(2, 2);
    huge.X[3] = 1.0e38;
    const size_t before = errors.Count();
    EXPECT_TRUE(MeshFrame(left, huge, right, Grid(2, 2), s, 1, frame));
    EXPECT_EQ(errors.Count(), before + 1);
    EXPECT_FALSE(frame.Allocated);
}

TEST(MeshAnimation, FramesAreNamedAndGeneratedInOrder)
{
    NumberedFrames p;
    ErrorCapture errors;
    TempDir dir;
    MeshMorphSettings s = Settings(5, 40, 40);
    s.FirstFrame = 2;
    s.LastFrame = 4;
    // No trailing separator: one is added.
    s.OutputPath.Set(dir.Path().string());
    {
        RecordingView view;
        ASSERT_FALSE(MeshAnimation(p.Left, p.LeftMesh, p.Right, p.RightMesh, s, view));
        EXPECT_EQ(view.Blues, (std::vector<int>{50, 100, 150}));
        EXPECT_EQ(view.Refreshes, 3);
        EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"Out2.TGA", "Out3.TGA", "Out4.TGA"}));
        RasterImage back;
        LoadPicture(dir.File("Out3.TGA"), back);
        ASSERT_TRUE(back.Allocated);
        EXPECT_EQ(At(back, 39, 39, 0), 100);
    }
    // The right picture's side runs backwards, morphs included; a path with
    // its separator is used as it is.
    TempDir dir2;
    s.WarpSide = 1;
    s.OutputType = static_cast<uint8_t>(OutputKind::Bmp);
    s.OutputPath.Set(dir2.Path().string() + "/");
    s.OutputPrefix.Set("f");
    {
        RecordingView view;
        ASSERT_FALSE(MeshAnimation(p.Left, p.LeftMesh, p.Right, p.RightMesh, s, view));
        EXPECT_EQ(view.Blues, (std::vector<int>{150, 100, 50}));
        EXPECT_EQ(FilesIn(dir2.Path()), (std::vector<std::string>{"f2.BMP", "f3.BMP", "f4.BMP"}));
    }
    // One frame is stored under its own number, and nothing else.
    TempDir dir3;
    s.DoAnimation = 0;
    s.CurrentFrame = 5;
    s.OutputType = static_cast<uint8_t>(OutputKind::Tga);
    s.OutputPath.Set(dir3.Path().string());
    {
        RecordingView view;
        ASSERT_FALSE(MeshAnimation(p.Left, p.LeftMesh, p.Right, p.RightMesh, s, view));
        EXPECT_EQ(view.Blues, (std::vector<int>{200}));
        EXPECT_EQ(FilesIn(dir3.Path()), (std::vector<std::string>{"f5.TGA"}));
    }
    // PNG frames hold the same pixels.
    TempDir dir4;
    s.OutputType = static_cast<uint8_t>(OutputKind::Png);
    s.OutputPath.Set(dir4.Path().string());
    {
        RecordingView view;
        ASSERT_FALSE(MeshAnimation(p.Left, p.LeftMesh, p.Right, p.RightMesh, s, view));
        EXPECT_EQ(FilesIn(dir4.Path()), (std::vector<std::string>{"f5.PNG"}));
        RasterImage back;
        LoadPicture(dir4.File("f5.PNG"), back);
        ASSERT_TRUE(back.Allocated);
        EXPECT_EQ(At(back, 39, 39, 0), 200);
    }
    EXPECT_EQ(errors.Count(), 0u);

    EXPECT_EQ(AnimationFrames(true, false, 3, 6, 1), (std::vector<int32_t>{3, 4, 5, 6}));
    EXPECT_EQ(AnimationFrames(true, true, 3, 6, 1), (std::vector<int32_t>{6, 5, 4, 3}));
    EXPECT_EQ(AnimationFrames(false, true, 3, 6, 2), (std::vector<int32_t>{2}));
    EXPECT_EQ(OutputFileBase("", "Out"), "/Out");
    EXPECT_EQ(OutputFileBase("a/b", "Out"), "a/b/Out");
    EXPECT_EQ(OutputFileBase("a/b/", "Out"), "a/b/Out");
    EXPECT_EQ(FrameFileName("a/Out", 10, OutputKind::Tga), "a/Out10.TGA");
    EXPECT_EQ(FrameFileName("a/Out", 7, OutputKind::Bmp), "a/Out7.BMP");
    EXPECT_EQ(FrameFileName("a/Out", 12, OutputKind::Png), "a/Out12.PNG");
    EXPECT_EQ(MovieFileName("a/Out"), "a/Out.AVI");
    // Path and prefix together keep at most 255 bytes.
    EXPECT_EQ(OutputFileBase(std::string(200, 'p'), std::string(100, 'x')).size(), 255u);
}

TEST(MeshAnimation, MovieHoldsTheFramesInGenerationOrder)
{
    NumberedFrames p;
    ErrorCapture errors;
    TempDir dir;
    MeshMorphSettings s = Settings(5, 40, 40);
    s.WarpSide = 1;
    s.FirstFrame = 1;
    s.LastFrame = 4;
    s.OutputType = static_cast<uint8_t>(OutputKind::Avi);
    s.OutputPath.Set(dir.Path().string());
    RecordingView view;
    ASSERT_FALSE(MeshAnimation(p.Left, p.LeftMesh, p.Right, p.RightMesh, s, view));
    EXPECT_EQ(errors.Count(), 0u);
    const std::string movie = dir.File("Out.AVI");
    std::string probe;
    ASSERT_EQ(RunCommand("ffprobe -v error -count_frames -show_entries stream=nb_read_frames,width,height "
                         "-of csv=p=0 " + Q(movie), &probe), 0);
    EXPECT_EQ(probe, "40,40,4\n");
    // The first pixel of each decoded frame, in movie order.
    std::string raw;
    ASSERT_EQ(RunCommand("ffmpeg -v error -i " + Q(movie) + " -f rawvideo -pix_fmt bgr24 -", &raw), 0);
    ASSERT_EQ(raw.size(), 4u * 40 * 40 * 3);
    std::vector<int> blues;
    for (size_t f = 0; f < 4; ++f)
        blues.push_back(static_cast<uint8_t>(raw[f * 40 * 40 * 3]));
    EXPECT_EQ(blues, (std::vector<int>{BlueOfFrame(4), BlueOfFrame(3), BlueOfFrame(2), BlueOfFrame(1)}));
}

TEST(MeshAnimation, FailedStoreStopsAfterTheFrameButKeepsEarlierOnes)
{
    NumberedFrames p;
    TempDir dir;
    MeshMorphSettings s = Settings(5, 40, 40);
    s.OutputPath.Set(dir.Path().string());
    // A folder where frame 3 should go makes its file impossible to create.
    std::filesystem::create_directory(dir.Path() / "Out3.TGA");
    {
        ErrorCapture errors;
        RecordingView view;
        EXPECT_TRUE(MeshAnimation(p.Left, p.LeftMesh, p.Right, p.RightMesh, s, view));
        ASSERT_EQ(errors.Count(), 1u);
        EXPECT_NE(errors.LastText().find(dir.File("Out3.TGA")), std::string::npos) << errors.LastText();
        // Frame 3 is still shown; nothing after it was made.
        EXPECT_EQ(view.Blues, (std::vector<int>{0, 50, 100}));
        EXPECT_TRUE(std::filesystem::is_regular_file(dir.File("Out1.TGA")));
        EXPECT_TRUE(std::filesystem::is_regular_file(dir.File("Out2.TGA")));
        EXPECT_FALSE(std::filesystem::exists(dir.File("Out4.TGA")));
        EXPECT_FALSE(std::filesystem::exists(dir.File("Out5.TGA")));
    }

    // A movie whose third frame meets the file size limit is finished with
    // the two frames before it.
    s.OutputType = static_cast<uint8_t>(OutputKind::Avi);
    const std::string movie = dir.File("Out.AVI");
    {
        ErrorCapture errors;
        RecordingView view;
        rlimit old{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 16000;   // header 224 + 2 x 6408 + index fit, a third frame does not
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool failed = MeshAnimation(p.Left, p.LeftMesh, p.Right, p.RightMesh, s, view);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_TRUE(failed);
        EXPECT_GE(errors.Count(), 1u);
        EXPECT_EQ(view.Blues, (std::vector<int>{0, 50, 100}));
    }
    std::string probe;
    ASSERT_EQ(RunCommand("ffprobe -v error -count_frames -show_entries stream=nb_read_frames "
                         "-of csv=p=0 " + Q(movie), &probe), 0);
    EXPECT_EQ(probe, "2\n");
    std::string raw;
    ASSERT_EQ(RunCommand("ffmpeg -v error -i " + Q(movie) + " -f rawvideo -pix_fmt bgr24 -", &raw), 0);
    ASSERT_EQ(raw.size(), 2u * 40 * 40 * 3);
    EXPECT_EQ(static_cast<uint8_t>(raw[40 * 40 * 3]), BlueOfFrame(2));
}

TEST(MeshAnimation, RefusesRangesOutsideTheSequence)
{
    NumberedFrames p;
    ErrorCapture errors;
    TempDir dir;
    MeshMorphSettings s = Settings(5, 40, 40);
    s.OutputPath.Set(dir.Path().string());
    RecordingView view;
    s.FirstFrame = 4;
    s.LastFrame = 3;
    EXPECT_TRUE(MeshAnimation(p.Left, p.LeftMesh, p.Right, p.RightMesh, s, view));
    EXPECT_EQ(errors.LastText(), "Error: There is inconsistence in frame numbers.");
    s.FirstFrame = 1;
    s.LastFrame = 6;
    EXPECT_TRUE(MeshAnimation(p.Left, p.LeftMesh, p.Right, p.RightMesh, s, view));
    s.LastFrame = 5;
    s.OutputType = 7;
    EXPECT_TRUE(MeshAnimation(p.Left, p.LeftMesh, p.Right, p.RightMesh, s, view));
    // A project file's sequence longer than any the settings allow is
    // refused before a frame list of that length is made.
    s.OutputType = 0;
    s.TotalFrames = 2000000000;
    s.LastFrame = 2000000000;
    EXPECT_TRUE(MeshAnimation(p.Left, p.LeftMesh, p.Right, p.RightMesh, s, view));
    EXPECT_EQ(errors.LastText(), "Error: There is inconsistence in frame numbers.");
    EXPECT_EQ(errors.Count(), 4u);
    EXPECT_TRUE(view.Blues.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}
