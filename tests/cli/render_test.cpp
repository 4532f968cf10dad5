#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {
std::string Tool() { return BinDir() + "/quorvix-render"; }
std::string DataDir() { return BinDir() + "/Data"; }
std::string Q(const std::string& s) { return "'" + s + "'"; }

// Offsets in a project file (30-byte header, then the record).
constexpr size_t kLeftPictureName = 30 + 56;
constexpr size_t kRightPictureName = 30 + 312;
constexpr size_t kLeftDefsName = 30 + 568;
constexpr size_t kRightDefsName = 30 + 824;
constexpr size_t kMorph = 30 + 1088;

// Runs the tool in folder cwd; returns the exit status, standard error in
// *err and standard output in *out.
int Render(const std::string& cwd, const std::string& args, std::string* err,
           std::string* out = nullptr)
{
    TempDir capture;
    const std::string errFile = capture.File("stderr");
    if (out)
        out->clear();
    const int status =
        RunCommand("cd " + Q(cwd) + " && " + Tool() + " " + args + " 2>" + Q(errFile), out);
    const auto bytes = ReadAll(errFile);
    if (err)
        err->assign(bytes.begin(), bytes.end());
    return status;
}

// Output of an independent decoder or encoder; fails the test when it does.
std::string Tool(const std::string& command)
{
    std::string out;
    EXPECT_EQ(RunCommand(command + " 2>/dev/null", &out), 0) << command;
    return out;
}

// The Data folder copied to a fresh place, project files and all.
struct DataCopy {
    TempDir Root;
    fs::path Dir;
    DataCopy()
    {
        Dir = Root.Path() / "moved" / "Data";
        fs::create_directories(Dir);
        for (const auto& e : fs::directory_iterator(DataDir()))
            fs::copy_file(e.path(), Dir / e.path().filename());
    }
    std::string File(const std::string& name) const { return (Dir / name).string(); }
};

void SetName(std::vector<uint8_t>& prj, size_t offset, const std::string& text)
{
    ASSERT_LT(text.size(), 256u);
    prj[offset] = static_cast<uint8_t>(text.size());
    std::memcpy(&prj[offset + 1], text.data(), text.size());
}

void SetInt(std::vector<uint8_t>& prj, size_t offset, int32_t v)
{
    for (int i = 0; i < 4; ++i)
        prj[offset + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}

}  // namespace

TEST(RenderTool, DemoProjectStartsOnTheStartPictureAndEndsOnTheEndPicture)
{
    TempDir out;
    std::string err, stdoutText;
    ASSERT_EQ(Render(out.Path().string(), Q(DataDir() + "/demo_mesh.prj") + " --type tga --frames 1-24",
                     &err, &stdoutText), 0) << err;
    // Standard error is no terminal here: nothing on either stream.
    EXPECT_EQ(err, "");
    EXPECT_EQ(stdoutText, "");
    // The project's own output path "./" is the current folder, its prefix "demo".
    ASSERT_EQ(SortedFileNames(out.Path()).size(), 24u);
    // Same size as the pictures: frame 1 is the start picture, frame 24 the end one.
    const std::string start = Tool("bmptoppm " + Q(DataDir() + "/demo_start.bmp"));
    const std::string end = Tool("bmptoppm " + Q(DataDir() + "/demo_end.bmp"));
    EXPECT_EQ(Tool("tgatoppm " + Q(out.File("demo1.TGA"))), start);
    EXPECT_EQ(Tool("tgatoppm " + Q(out.File("demo24.TGA"))), end);
    const std::string middle = Tool("tgatoppm " + Q(out.File("demo12.TGA")));
    EXPECT_EQ(middle.size(), start.size());
    EXPECT_NE(middle, start);
    EXPECT_NE(middle, end);

    // The movie of the same frames, read back by ffmpeg.
    ASSERT_EQ(Render(out.Path().string(), Q(DataDir() + "/demo_mesh.prj") + " --type avi --quiet", &err),
              0) << err;
    const std::string movie = out.File("demo.AVI");
    EXPECT_EQ(Tool("ffprobe -v error -count_frames -show_entries stream=codec_type,width,height,nb_read_frames "
                   "-of csv=p=0 " + Q(movie)),
              "video,320,240,24\n");
    const std::string first = Tool("ffmpeg -v error -i " + Q(movie) +
                                   " -frames:v 1 -f image2pipe -vcodec ppm -pix_fmt rgb24 -");
    EXPECT_EQ(first, start);
    const std::string last = Tool("ffmpeg -v error -i " + Q(movie) +
                                  " -vf select='eq(n\\,23)' -frames:v 1 -f image2pipe -vcodec ppm "
                                  "-pix_fmt rgb24 -");
    EXPECT_EQ(last, end);
}

TEST(RenderTool, OptionsReplaceSettingsForOneRunOnly)
{
    DataCopy data;
    const std::string prj = data.File("demo_mesh.prj");
    const auto before = ReadAll(prj);
    TempDir out;
    std::string err;
    ASSERT_EQ(Render(data.Root.Path().string(),
                     Q(prj) + " --frames 3-5 --output " + Q(out.Path().string()) +
                         " --prefix m_ --type bmp --size 64x48",
                     &err), 0) << err;
    EXPECT_EQ(SortedFileNames(out.Path()), (std::vector<std::string>{"m_3.BMP", "m_4.BMP", "m_5.BMP"}));
    EXPECT_EQ(Tool("identify -format '%w %h' " + Q(out.File("m_4.BMP"))), "64 48");
    // One frame by number, as its own file.
    TempDir one;
    ASSERT_EQ(Render(one.Path().string(), Q(prj) + " --frame 7 --output=.", &err), 0) << err;
    EXPECT_EQ(SortedFileNames(one.Path()), (std::vector<std::string>{"demo7.TGA"}));
    EXPECT_EQ(ReadAll(prj), before);
}

TEST(RenderTool, MovedProjectFolderFindsItsFiles)
{
    DataCopy data;
    // Names written on other machines: a Windows path and a Unix folder that
    // does not exist here; only the file names are left to go by.
    auto prj = ReadAll(data.File("demo_mesh.prj"));
    SetName(prj, kLeftPictureName, "C:\\Morph\\Faces\\demo_start.bmp");
    SetName(prj, kRightPictureName, "/home/someone/faces/demo_end.bmp");
    WriteAll(data.File("elsewhere.prj"), prj);
    TempDir out;
    std::string err;
    ASSERT_EQ(Render("/", Q(data.File("elsewhere.prj")) + " --frame 1 --output " + Q(out.Path().string()),
                     &err), 0) << err;
    EXPECT_EQ(Tool("tgatoppm " + Q(out.File("demo1.TGA"))),
              Tool("bmptoppm " + Q(data.File("demo_start.bmp"))));

    // A relative project name from another folder.
    ASSERT_EQ(Render(data.Root.Path().string(),
                     "moved/Data/demo_mesh.prj --frame 24 --type bmp --output " + Q(out.Path().string()),
                     &err), 0) << err;
    EXPECT_TRUE(fs::is_regular_file(out.File("demo24.BMP")));

    // A missing file is an error that names it; nothing is written.
    TempDir out2;
    fs::remove(data.File("demo_end.bmp"));
    EXPECT_EQ(Render("/", Q(data.File("elsewhere.prj")) + " --output " + Q(out2.Path().string()), &err), 1);
    EXPECT_EQ(err, "Error: File was not found: /home/someone/faces/demo_end.bmp\n");
    fs::remove(data.File("demo_start.msh"));
    EXPECT_EQ(Render("/", Q(data.File("demo_mesh.prj")) + " --output " + Q(out2.Path().string()), &err), 1);
    EXPECT_NE(err.find("demo_end.bmp"), std::string::npos) << err;
    EXPECT_NE(err.find("demo_start.msh"), std::string::npos) << err;
    prj = ReadAll(data.File("demo_mesh.prj"));
    SetName(prj, kRightDefsName, "");
    WriteAll(data.File("unnamed.prj"), prj);
    EXPECT_EQ(Render("/", Q(data.File("unnamed.prj")) + " --output " + Q(out2.Path().string()), &err), 1);
    EXPECT_NE(err.find("Error: The project names no end definition file.\n"), std::string::npos) << err;
    EXPECT_TRUE(fs::is_empty(out2.Path()));
}

TEST(RenderTool, RefusesWhatTheSettingsDialogRefuses)
{
    DataCopy data;
    const std::string prj = Q(data.File("demo_mesh.prj"));
    const std::string cwd = data.Root.Path().string();
    const std::string frames = "Error: There is inconsistence in frame numbers.\n";
    const std::string width = "Error: Width of image must be greater then 40.\n";
    const std::string height = "Error: Height of image must be greater then 40.\n";
    std::string err;
    // The demo has 24 frames.
    EXPECT_EQ(Render(cwd, prj + " --frames 20-25", &err), 2);
    EXPECT_EQ(err, frames);
    EXPECT_EQ(Render(cwd, prj + " --frames 5-4", &err), 2);
    EXPECT_EQ(err, frames);
    EXPECT_EQ(Render(cwd, prj + " --frames 0-4", &err), 2);
    EXPECT_EQ(err, frames);
    EXPECT_EQ(Render(cwd, prj + " --frame 25", &err), 2);
    EXPECT_EQ(err, frames);
    EXPECT_EQ(Render(cwd, prj + " --size 39x100", &err), 2);
    EXPECT_EQ(err, width);
    EXPECT_EQ(Render(cwd, prj + " --size 100x39", &err), 2);
    EXPECT_EQ(err, height);
    EXPECT_EQ(Render(cwd, prj + " --frame 30 --size 0x0", &err), 2);
    EXPECT_EQ(err, frames + width + height);
    EXPECT_EQ(SortedFileNames(data.Root.Path()), (std::vector<std::string>{"moved"}));

    // The same faults stored in the project itself are failures, not usage;
    // an option that mends them is enough.
    auto bytes = ReadAll(data.File("demo_mesh.prj"));
    SetInt(bytes, kMorph + 4, 1);   // TotalFrames 1
    WriteAll(data.File("one.prj"), bytes);
    EXPECT_EQ(Render(cwd, Q(data.File("one.prj")), &err), 1);
    EXPECT_EQ(err, frames);
    bytes = ReadAll(data.File("demo_mesh.prj"));
    SetInt(bytes, kMorph + 540, 12);   // ResultWidth
    WriteAll(data.File("narrow.prj"), bytes);
    EXPECT_EQ(Render(cwd, Q(data.File("narrow.prj")) + " --frame 2", &err), 1);
    EXPECT_EQ(err, width);
    TempDir out;
    EXPECT_EQ(Render(out.Path().string(), Q(data.File("narrow.prj")) + " --frame 2 --size 50x40", &err), 0)
        << err;
    EXPECT_EQ(SortedFileNames(out.Path()), (std::vector<std::string>{"demo2.TGA"}));
}

TEST(RenderTool, UsageAndFailuresGiveTheirExitStatus)
{
    DataCopy data;
    const std::string prj = Q(data.File("demo_mesh.prj"));
    const std::string cwd = data.Root.Path().string();
    std::string err, out;
    EXPECT_EQ(Render(cwd, "--help", &err, &out), 0);
    EXPECT_NE(out.find("Usage: quorvix-render PROJECT.prj"), std::string::npos) << out;
    for (const char* bad : {"", "--frames", "--frames 3", "--frames a-b", "--frame x", "--type gif",
                            "--size 100", "--size 100x", "--bogus", "--frames 1-2 --frame 3",
                            "--frames 1-99999999999", "extra.prj"}) {
        const std::string args = std::string(bad) == "" ? "" : prj + " " + bad;
        EXPECT_EQ(Render(cwd, args, &err, &out), 2) << bad;
        EXPECT_NE(err.find("Usage:"), std::string::npos) << bad;
        EXPECT_EQ(out, "") << bad;
    }
    EXPECT_EQ(Render(cwd, Q(data.File("none.prj")), &err), 1);
    EXPECT_NE(err.find("none.prj"), std::string::npos) << err;
    // Not a project at all.
    EXPECT_EQ(Render(cwd, Q(data.File("demo_start.bmp")), &err), 1);
    EXPECT_NE(err, "");
    // An output folder that does not exist: the first frame cannot be stored.
    EXPECT_EQ(Render(cwd, prj + " --output " + Q(cwd + "/no/such"), &err), 1);
    EXPECT_NE(err.find(cwd + "/no/such/demo"), std::string::npos) << err;
    EXPECT_EQ(Render(cwd, prj + " --type avi --output " + Q(cwd + "/no/such"), &err), 1);
    EXPECT_NE(err.find(cwd + "/no/such/demo.AVI"), std::string::npos) << err;
    // Meshes of different sizes.
    auto bytes = ReadAll(data.File("demo_mesh.prj"));
    SetName(bytes, kLeftDefsName, "small.msh");
    WriteAll(data.File("mixed.prj"), bytes);
    ASSERT_EQ(RunCommand("python3 -c \"import sys; d=open(sys.argv[1],'rb').read(); "
                         "open(sys.argv[2],'wb').write(d[:30]+(2).to_bytes(4,'little')*2+d[38:38+24]*2)\" " +
                         Q(data.File("demo_start.msh")) + " " + Q(data.File("small.msh"))), 0);
    EXPECT_EQ(Render(cwd, Q(data.File("mixed.prj")) + " --frame 2", &err), 1);
    EXPECT_NE(err.find("Size of loaded mesh is different"), std::string::npos) << err;
}

TEST(RenderTool, NodeProjectRendersItsMovie)
{
    TempDir out;
    std::string err;
    ASSERT_EQ(Render(out.Path().string(), Q(DataDir() + "/demo_node.prj") +
                                              " --frames 2-6 --type avi --prefix n --size 160x120",
                     &err), 0) << err;
    EXPECT_EQ(err, "");
    EXPECT_EQ(Tool("ffprobe -v error -count_frames -show_entries stream=width,height,nb_read_frames "
                   "-of csv=p=0 " + Q(out.File("n.AVI"))),
              "160,120,5\n");
    ASSERT_EQ(Render(out.Path().string(), Q(DataDir() + "/demo_node.prj") + " --frames 23-24", &err), 0)
        << err;
    EXPECT_EQ(SortedFileNames(out.Path()), (std::vector<std::string>{"demo23.TGA", "demo24.TGA", "n.AVI"}));
    // Frames differ along the sequence.
    EXPECT_NE(ReadAll(out.File("demo23.TGA")), ReadAll(out.File("demo24.TGA")));
}

TEST(RenderTool, PngSequenceHoldsTheFramesAndReadsBackInFfmpeg)
{
    TempDir out;
    const std::string prj = Q(DataDir() + "/demo_mesh.prj");
    std::string err;
    ASSERT_EQ(Render(out.Path().string(), prj + " --type png --frames 20-24", &err), 0) << err;
    ASSERT_EQ(Render(out.Path().string(), prj + " --type tga --frames 20-24", &err), 0) << err;
    std::vector<std::string> want = {"demo20.PNG", "demo20.TGA", "demo21.PNG", "demo21.TGA", "demo22.PNG",
                                     "demo22.TGA", "demo23.PNG", "demo23.TGA", "demo24.PNG", "demo24.TGA"};
    EXPECT_EQ(SortedFileNames(out.Path()), want);
    // ffmpeg reads the numbered files as one sequence: the frames of the TGA run.
    std::string tgaFrames;
    for (int k = 20; k <= 24; ++k)
        tgaFrames += Tool("tgatoppm " + Q(out.File("demo" + std::to_string(k) + ".TGA")));
    EXPECT_EQ(Tool("ffmpeg -v error -start_number 20 -i " + Q(out.File("demo%d.PNG")) +
                   " -f image2pipe -vcodec ppm -pix_fmt rgb24 -"),
              tgaFrames);
    EXPECT_EQ(Tool("ffprobe -v error -show_entries stream=codec_name,pix_fmt -of csv=p=0 " +
                   Q(out.File("demo24.PNG"))),
              "png,rgb24\n");

    // The type stored in a project: 3 writes PNG frames, an unknown one is refused.
    DataCopy data;
    auto bytes = ReadAll(data.File("demo_mesh.prj"));
    bytes[kMorph + 536] = 3;
    WriteAll(data.File("png.prj"), bytes);
    TempDir out2;
    ASSERT_EQ(Render(out2.Path().string(), Q(data.File("png.prj")) + " --frame 2", &err), 0) << err;
    EXPECT_EQ(SortedFileNames(out2.Path()), (std::vector<std::string>{"demo2.PNG"}));
    bytes[kMorph + 536] = 4;
    WriteAll(data.File("unknown.prj"), bytes);
    TempDir out3;
    EXPECT_EQ(Render(out3.Path().string(), Q(data.File("unknown.prj")) + " --frame 2", &err), 1);
    EXPECT_EQ(err, "Error: Save to this file type in not supported.\n");
    EXPECT_TRUE(fs::is_empty(out3.Path()));
}

TEST(RenderTool, ThreadsOptionGivesTheSameFilesForOneTwoAndEightThreads)
{
    for (const char* project : {"demo_mesh.prj", "demo_node.prj"}) {
        SCOPED_TRACE(project);
        std::vector<std::vector<uint8_t>> first;
        TempDir kept;
        for (const char* threads : {"1", "2", "8"}) {
            TempDir fresh;
            const TempDir& out = first.empty() ? kept : fresh;
            std::string err;
            ASSERT_EQ(Render(out.Path().string(),
                             Q(DataDir() + "/" + project) +
                                 " --type tga --frames 2-5 --size 331x207 --prefix f --threads " +
                                 threads,
                             &err),
                      0) << err;
            const std::vector<std::string> names = SortedFileNames(out.Path());
            ASSERT_EQ(names, (std::vector<std::string>{"f2.TGA", "f3.TGA", "f4.TGA", "f5.TGA"}));
            std::vector<std::vector<uint8_t>> files;
            for (const std::string& name : names)
                files.push_back(ReadAll(out.File(name)));
            if (first.empty())
                first = files;
            else
                EXPECT_TRUE(files == first) << threads << " threads";
        }
        // The frames are pictures netpbm reads, and they differ from each other.
        ASSERT_EQ(first.size(), 4u);
        EXPECT_NE(first[0], first[3]);
        EXPECT_EQ(Tool("tgatoppm " + Q(kept.File("f3.TGA"))).substr(0, 15), "P6\n331 207\n255\n");
    }
    std::string err;
    for (const char* bad : {"0", "x", "-2", "257"}) {
        EXPECT_EQ(Render(".", Q(DataDir() + "/demo_mesh.prj") + " --threads " + bad, &err), 2) << bad;
        EXPECT_NE(err.find("--threads needs a number of threads from 1 to 256"), std::string::npos)
            << err;
    }
}

