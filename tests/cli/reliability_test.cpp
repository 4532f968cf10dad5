// What a user meets with failing disks and hostile files, through the
// command-line tools: no file is lost to a failed write, nothing hangs on a
// special file, memory follows the file and not its header, and every
// message comes once and names its file.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {
std::string Render() { return BinDir() + "/quorvix-render"; }
std::string Convert() { return BinDir() + "/quorvix-convert"; }
std::string DataDir() { return BinDir() + "/Data"; }
std::string Q(const std::string& s) { return "'" + s + "'"; }

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Runs a shell command; returns the exit status and fills *err with its
// standard error.
int Shell(const std::string& command, std::string* err)
{
    TempDir capture;
    const std::string errFile = capture.File("stderr");
    const int status = RunCommand("(" + command + ") 2>" + Q(errFile));
    const auto bytes = ReadAll(errFile);
    err->assign(bytes.begin(), bytes.end());
    return status;
}


// Demo frames are 320 x 240: a TGA frame is 230418 bytes, a movie frame
// 307208 (chunk header and 32-bit pixels).
constexpr size_t kTgaFrame = 18 + 320 * 240 * 3;
constexpr size_t kAviFrame = 8 + 320 * 240 * 4;

// A disk that fails on demand: either a small tmpfs filled up to leave the
// room asked for, or a file size limit of that many bytes on the tool.
class FailingDisk {
public:
    virtual ~FailingDisk() = default;
    virtual std::string Dir() const = 0;
    // Shell text put before the tool so that only `room` more bytes fit in a file.
    virtual std::string LeaveRoom(size_t room) = 0;
    // Nothing in the way any more.
    virtual void Clear() = 0;
    virtual std::string Name() const = 0;
};

class FullTmpfs : public FailingDisk {
public:
    FullTmpfs()
    {
        Mount = Root.File("disk");
        fs::create_directory(Mount);
        Mounted = ::mount("tmpfs", Mount.c_str(), "tmpfs", 0, "size=1400k") == 0;
    }
    ~FullTmpfs() override
    {
        if (Mounted)
            ::umount(Mount.c_str());
    }
    bool Mounted = false;
    std::string Dir() const override { return Mount; }
    std::string LeaveRoom(size_t room) override
    {
        Clear();
        struct statvfs v;
        if (::statvfs(Mount.c_str(), &v) != 0)
            return "";
        const size_t free = static_cast<size_t>(v.f_bavail) * v.f_frsize;
        const size_t filler = free > room ? free - room : 0;
        WriteAll(Mount + "/.filler", std::vector<uint8_t>(filler, 0xAB));
        return "";
    }
    void Clear() override { fs::remove(Mount + "/.filler"); }
    std::string Name() const override { return "full tmpfs"; }

private:
    TempDir Root;
    std::string Mount;
};

class SizeLimit : public FailingDisk {
public:
    std::string Dir() const override { return Folder.Path().string(); }
    std::string LeaveRoom(size_t room) override
    {
        // The tests' shell is sh, whose ulimit counts 512-byte blocks.
        return "trap '' XFSZ; ulimit -f " + std::to_string(room / 512) + "; ";
    }
    void Clear() override {}
    std::string Name() const override { return "file size limit"; }

private:
    TempDir Folder;
};

std::vector<std::unique_ptr<FailingDisk>> Disks()
{
    std::vector<std::unique_ptr<FailingDisk>> disks;
    auto tmpfs = std::make_unique<FullTmpfs>();
    if (tmpfs->Mounted)
        disks.push_back(std::move(tmpfs));
    else
        std::printf("[  NOTE    ] no small tmpfs could be mounted here: only the file size limit fails the writes\n");
    disks.push_back(std::make_unique<SizeLimit>());
    return disks;
}

std::string RenderDemo(const std::string& dir, const std::string& args)
{
    return "cd " + Q(dir) + " && " + Render() + " " + Q(DataDir() + "/demo_mesh.prj") + " --quiet " + args;
}
}  // namespace

TEST(FailedWrites, OldFramesMoviesAndPicturesSurviveAFullDisk)
{
    for (const auto& disk : Disks()) {
        SCOPED_TRACE(disk->Name());
        const std::string dir = disk->Dir();
        std::string err;

        // Three good frames, then a run of larger ones on a disk with room
        // for less than one: the old frames stay byte for byte.
        ASSERT_EQ(Shell(RenderDemo(dir, "--frames 1-3"), &err), 0) << err;
        const auto frame1 = ReadAll(dir + "/demo1.TGA");
        const auto frame3 = ReadAll(dir + "/demo3.TGA");
        ASSERT_EQ(frame1.size(), kTgaFrame);
        EXPECT_EQ(Shell(disk->LeaveRoom(kTgaFrame / 3) + RenderDemo(dir, "--frames 1-3 --size 400x300"), &err), 1);
        // The project's output path is "./", the folder the tool runs in.
        EXPECT_EQ(err, "Error: Error writing to file: ./demo1.TGA\n");
        EXPECT_EQ(ReadAll(dir + "/demo1.TGA"), frame1);
        EXPECT_EQ(ReadAll(dir + "/demo3.TGA"), frame3);
        disk->Clear();
        EXPECT_EQ(SortedFileNames(dir), (std::vector<std::string>{"demo1.TGA", "demo2.TGA", "demo3.TGA"}));

        // The converter replacing a picture: the same.
        EXPECT_EQ(Shell(disk->LeaveRoom(kTgaFrame / 3) + Convert() + " " + Q(DataDir() + "/demo_end.bmp") + " " +
                          Q(dir + "/demo1.TGA"),
                      &err),
                  1);
        EXPECT_EQ(err, "Error: Error writing to file: " + dir + "/demo1.TGA\n");
        EXPECT_EQ(ReadAll(dir + "/demo1.TGA"), frame1);
        disk->Clear();

        // A movie of three frames, then one that stops in its second frame:
        // the old movie stays, the frame written goes beside it as a valid
        // movie of its own, and the message says where.
        for (const std::string& f : SortedFileNames(dir))
            fs::remove(dir + "/" + f);
        ASSERT_EQ(Shell(RenderDemo(dir, "--type avi --frames 1-3"), &err), 0) << err;
        const std::string movie = dir + "/demo.AVI";
        const std::string shown = "./demo.AVI";
        const auto old = ReadAll(movie);
        ASSERT_EQ(old.size(), 224 + 3 * kAviFrame + 8 + 3 * 16);
        const std::string partial = dir + "/demo.partial.AVI";
        EXPECT_EQ(Shell(disk->LeaveRoom(kAviFrame * 3 / 2 + 224) + RenderDemo(dir, "--type avi --frames 1-3"), &err), 1);
        EXPECT_EQ(err, "Error: Error writing to AVI file: " + shown + "\nError: The movie " + shown +
                           " was left as it was; the 1 frame written went to the movie ./demo.partial.AVI\n");
        disk->Clear();
        EXPECT_EQ(ReadAll(movie), old);
        std::string frames;
        ASSERT_EQ(RunCommand("ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 " +
                                 Q(partial) + " 2>&1",
                             &frames),
                  0);
        EXPECT_EQ(frames, "1\n");
        EXPECT_EQ(SortedFileNames(dir), (std::vector<std::string>{"demo.AVI", "demo.partial.AVI"}));

        // With no old movie in the way the cut movie keeps its own name.
        fs::remove(movie);
        fs::remove(partial);
        EXPECT_EQ(Shell(disk->LeaveRoom(kAviFrame * 3 / 2 + 224) + RenderDemo(dir, "--type avi --frames 1-3"), &err), 1);
        EXPECT_EQ(err, "Error: Error writing to AVI file: " + shown + "\n");
        disk->Clear();
        EXPECT_EQ(ReadAll(movie).size(), 224 + kAviFrame + 8 + 16);
        EXPECT_EQ(SortedFileNames(dir), (std::vector<std::string>{"demo.AVI"}));
        fs::remove(movie);
    }
}

// The renderer stores each frame while it computes the next one. On 1, 2 and
// 8 threads a run leaves the same files, says the same and ends the same,
// also when the disk fills up part-way through the run.
TEST(FailedWrites, AnyNumberOfThreadsLeavesTheSameFilesAndMessagesWhenTheDiskFills)
{
    struct Outcome {
        int Status = 0;
        std::string Err;
        std::vector<std::string> Names;
        std::vector<std::vector<uint8_t>> Files;
        bool operator==(const Outcome&) const = default;
    };
    for (const auto& disk : Disks()) {
        SCOPED_TRACE(disk->Name());
        const std::string dir = disk->Dir();
        // A file size limit fails a sequence only in its first frame; a
        // full disk fails it in the third.
        const bool full = disk->Name() == "full tmpfs";
        for (const std::string type : {"tga", "avi"}) {
            const size_t room = type == "avi" ? 224 + kAviFrame * 5 / 2 : full ? kTgaFrame * 5 / 2 : kTgaFrame / 2;
            for (const bool fails : {false, true}) {
                SCOPED_TRACE(type + (fails ? ", disk filling up" : ", room enough"));
                std::vector<Outcome> runs;
                for (const char* threads : {"1", "2", "8"}) {
                    for (const std::string& f : SortedFileNames(dir))
                        fs::remove(dir + "/" + f);
                    Outcome o;
                    const std::string limit = fails ? disk->LeaveRoom(room) : "";
                    o.Status = Shell(limit + RenderDemo(dir, "--type " + type + " --frames 1-4 --threads " + threads), &o.Err);
                    disk->Clear();
                    o.Names = SortedFileNames(dir);
                    for (const std::string& f : o.Names)
                        o.Files.push_back(ReadAll(dir + "/" + f));
                    runs.push_back(o);
                    EXPECT_TRUE(o == runs.front()) << threads << " threads: " << o.Err;
                }
                const Outcome& r = runs.front();
                const size_t kept = !fails ? 4 : type == "avi" || full ? 2 : 0;
                EXPECT_EQ(r.Status, fails ? 1 : 0) << r.Err;
                if (type == "tga") {
                    std::vector<std::string> names;
                    for (size_t k = 1; k <= kept; ++k)
                        names.push_back("demo" + std::to_string(k) + ".TGA");
                    EXPECT_EQ(r.Names, names);
                    EXPECT_EQ(r.Err, fails ? "Error: Error writing to file: ./demo" + std::to_string(kept + 1) + ".TGA\n" : "");
                } else {
                    EXPECT_EQ(r.Names, std::vector<std::string>{"demo.AVI"});
                    EXPECT_EQ(r.Err, fails ? "Error: Error writing to AVI file: ./demo.AVI\n" : "");
                    std::string frames;
                    ASSERT_EQ(RunCommand("ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 " +
                                             Q(dir + "/demo.AVI") + " 2>&1",
                                         &frames),
                              0);
                    EXPECT_EQ(frames, std::to_string(kept) + "\n");
                }
            }
        }
        for (const std::string& f : SortedFileNames(dir))
            fs::remove(dir + "/" + f);
    }
}

TEST(SpecialFiles, PipesFoldersAndDevicesAreRefusedAtOnceByName)
{
    TempDir dir;
    std::string err;
    // A named pipe as the project: refused, not waited on (the timeout
    // would end a hang with status 124).
    const std::string fifo = dir.File("p.prj");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Shell("timeout 20 " + Render() + " " + Q(fifo), &err), 1);
    EXPECT_EQ(err, "Error: " + fifo + " is a named pipe (FIFO), not a file\n");

    // A folder and a device as the picture to convert.
    const std::string folder = dir.File("f.bmp");
    fs::create_directory(folder);
    EXPECT_EQ(Shell("timeout 20 " + Convert() + " " + Q(folder) + " " + Q(dir.File("o.bmp")), &err), 1);
    EXPECT_EQ(err, "Error: " + folder + " is a folder, not a file\n");
    const std::string device = dir.File("z.tga");
    fs::create_symlink("/dev/zero", device);
    EXPECT_EQ(Shell("timeout 20 " + Convert() + " " + Q(device) + " " + Q(dir.File("o.bmp")), &err), 1);
    EXPECT_EQ(err, "Error: " + device + " is a device, not a file\n");

    // A project whose start mesh is a pipe and whose end picture is a folder.
    const std::string copy = dir.File("copy");
    fs::create_directory(copy);
    for (const auto& e : fs::directory_iterator(DataDir()))
        fs::copy_file(e.path(), copy + "/" + e.path().filename().string());
    fs::remove(copy + "/demo_start.msh");
    ASSERT_EQ(::mkfifo((copy + "/demo_start.msh").c_str(), 0600), 0);
    EXPECT_EQ(Shell("cd " + Q(copy) + " && timeout 20 " + Render() + " demo_mesh.prj --quiet", &err), 1);
    EXPECT_EQ(err, "Error: demo_start.msh is a named pipe (FIFO), not a file\n");
    fs::remove(copy + "/demo_end.bmp");
    fs::create_directory(copy + "/demo_end.bmp");
    EXPECT_EQ(Shell("cd " + Q(copy) + " && timeout 20 " + Render() + " demo_mesh.prj --quiet", &err), 1);
    EXPECT_EQ(err, "Error: demo_end.bmp is a folder, not a file\n");

    // A project file with another extension says so.
    EXPECT_EQ(Shell(Render() + " " + Q(copy + "/demo_end.bmp"), &err), 1);
    EXPECT_EQ(err, "Error: " + copy + "/demo_end.bmp is a folder, not a file\n");
    EXPECT_EQ(Shell(Render() + " " + Q(copy + "/demo_start.bmp"), &err), 1);
    EXPECT_EQ(err, "Error: A project file name ends in \".prj\": " + copy + "/demo_start.bmp\n");
}

TEST(HostileProjects, ControlCharactersInNamesAreRefusedBeforeAnyFrame)
{
    const auto good = ReadAll(DataDir() + "/demo_mesh.prj");
    ASSERT_EQ(good.size(), 30u + 1700);
    // Name fields: start picture, end picture, start mesh, end mesh, output
    // path, output prefix; each given a zero byte or another control character.
    const size_t fields[] = {30 + 56, 30 + 312, 30 + 568, 30 + 824, 30 + 1088 + 24, 30 + 1088 + 280};
    const char bad[] = {'\0', '\n', '\x1f', '\x7f'};
    TempDir dir;
    int cases = 0;
    for (const size_t at : fields) {
        for (const char c : bad) {
            std::vector<uint8_t> prj = good;
            const size_t length = prj[at];
            ASSERT_GE(length, 2u);
            prj[at + 1 + length] = static_cast<uint8_t>(c);   // one more character at the end
            prj[at] = static_cast<uint8_t>(length + 1);
            const std::string name = dir.File("bad.prj");
            WriteAll(name, prj);
            std::string err;
            EXPECT_EQ(Shell("cd " + Q(dir.Path().string()) + " && " + Render() + " bad.prj --quiet", &err), 1);
            EXPECT_EQ(err, "Error: Error reading from file: bad.prj\n") << at << " " << int(c);
            ++cases;
        }
    }
    EXPECT_EQ(cases, 24);
    EXPECT_EQ(SortedFileNames(dir.Path()), (std::vector<std::string>{"bad.prj"}));
}

TEST(HostilePictures, MemoryFollowsTheFileNotItsHeader)
{
    TempDir dir;
    // 18-byte TGA and 128-byte PCX headers claiming 18000 x 19000 pixels
    // (a gigabyte), and the same TGA with three rows of data.
    std::vector<uint8_t> tga(18, 0);
    tga[2] = 2;
    tga[12] = 18000 & 0xFF, tga[13] = 18000 >> 8, tga[14] = 19000 & 0xFF, tga[15] = 19000 >> 8;
    tga[16] = 24;
    std::vector<uint8_t> pcx(128, 0);
    pcx[0] = 10, pcx[1] = 5, pcx[2] = 1, pcx[3] = 8, pcx[65] = 3;
    pcx[8] = 17999 & 0xFF, pcx[9] = 17999 >> 8, pcx[10] = 18999 & 0xFF, pcx[11] = 18999 >> 8;
    pcx[66] = 18000 & 0xFF, pcx[67] = 18000 >> 8;
    std::vector<uint8_t> rows = tga;
    rows.resize(18 + 3 * 18000 * 3, 0x80);
    WriteAll(dir.File("huge.tga"), tga);
    WriteAll(dir.File("huge.pcx"), pcx);
    WriteAll(dir.File("rows.tga"), rows);
    for (const std::string name : {"huge.tga", "huge.pcx", "rows.tga"}) {
        // The output folder does not exist: the picture is read whole, then
        // the save is refused, so only reading is measured.
        std::string err;
        const std::string out = dir.File("none/o.bmp");
        std::string kb;
        ASSERT_EQ(RunCommand("/usr/bin/time -f %M -o " + Q(dir.File("rss")) + " " + Convert() + " " +
                             Q(dir.File(name)) + " " + Q(out) + " 2>/dev/null; cat " + Q(dir.File("rss")),
                             &kb),
                  0);
        const long residentKb = std::stol(kb.substr(kb.find_last_of('\n', kb.size() - 2) + 1));
        EXPECT_LT(residentKb, 200 * 1024) << name << " took " << residentKb << " KB";
    }
    if (kSanitized) {
        std::printf("[  NOTE    ] the address sanitizer needs more address space than an out-of-memory test gives\n");
        return;
    }
    // Out of memory is said as such, and nothing is written.
    std::string err;
    EXPECT_EQ(Shell("ulimit -v 600000; " + Convert() + " " + Q(dir.File("huge.tga")) + " " + Q(dir.File("o.bmp")),
                  &err),
              1);
    EXPECT_EQ(err, "Error: Not Enought memory\n");
    EXPECT_FALSE(fs::exists(dir.File("o.bmp")));
}

TEST(Messages, OutputLimitsComeBeforeRenderingAndRepeatsComeOnce)
{
    TempDir dir;
    std::string err;
    // TGA frames hold 16-bit sides: said before any frame is made.
    EXPECT_EQ(Shell(RenderDemo(dir.Path().string(), "--size 65536x40 --frames 1-3"), &err), 1);
    EXPECT_EQ(err, "Error: Error writing to file: ./demo1.TGA: TGA pictures are at most 65535 pixels on a side, "
                   "not 65536 x 40\n");
    EXPECT_TRUE(fs::is_empty(dir.Path()));

    // A linear warp whose start mesh leaves the top of the picture meets
    // the same range error in column after column: it goes on, and the
    // message comes once with its count.
    const std::string copy = dir.File("copy");
    fs::create_directory(copy);
    for (const auto& e : fs::directory_iterator(DataDir()))
        fs::copy_file(e.path(), copy + "/" + e.path().filename().string());
    std::vector<uint8_t> prj = ReadAll(copy + "/demo_mesh.prj");
    prj[30 + 1088] = 0;  // linear mesh lines, linear interpolation
    WriteAll(copy + "/linear.prj", prj);
    std::vector<uint8_t> mesh = ReadAll(copy + "/demo_start.msh");
    const size_t nodes = 38;  // 30-byte header, two counts; 7 x 7 x, then 7 x 7 y
    for (size_t k = 49; k < 98; ++k)
        if (mesh[nodes + 6 * k] == 0)                       // y = 0: the top edge
            mesh[nodes + 6 * k] = 0x7F;                     // becomes 0.25
    WriteAll(copy + "/demo_start.msh", mesh);
    fs::create_directory(copy + "/out");
    EXPECT_EQ(Shell("cd " + Q(copy) + " && " + Render() + " linear.prj --quiet --frames 1-3 --output out", &err), 0)
        << err;
    const std::string text = "Error: Linear: Output X-coord out of range of input";
    ASSERT_EQ(err.rfind(text + "\n(the message \"" + text + "\" came ", 0), 0u) << err;
    const int times = std::stoi(err.substr(err.find(" came ") + 6));
    EXPECT_GT(times, 3);
    EXPECT_EQ(err, text + "\n(the message \"" + text + "\" came " + std::to_string(times) + " times)\n");
    EXPECT_EQ(SortedFileNames(copy + "/out"), (std::vector<std::string>{"demo1.TGA", "demo2.TGA", "demo3.TGA"}));

    // A mesh node no picture's pixel units can hold: the mesh file is named.
    mesh[nodes + 6 * 8] = 0xFF;
    WriteAll(copy + "/demo_start.msh", mesh);
    EXPECT_EQ(Shell("cd " + Q(copy) + " && " + Render() + " linear.prj --quiet --output out2", &err), 1);
    EXPECT_EQ(err, "Error: Floating point overflow: demo_start.msh\n");
}
