// Every kind of file the program writes, against a write routine that fails
// on demand at each interesting byte: the file that was there stays byte for
// byte, no temporary file is left, and one message names the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "images/avi_file.h"
#include "images/picture_file.h"
#include "images/raster_image.h"
#include "images/safe_file.h"
#include "mesh/mesh_defs.h"
#include "node/node_defs.h"
#include "project/project_file.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {
struct Writer {
    std::string Name;                                   // file written, in the test folder
    std::function<bool(const std::string&)> Write;      // failed?
};

RasterImage Picture(int32_t w, int32_t h, uint8_t seed)
{
    RasterImage image;
    image.InitCleared(w, h);
    uint8_t* p = image.Lock();
    for (int32_t i = 0; i < image.ImageSize; ++i)
        p[i] = static_cast<uint8_t>(i * 7 + seed);
    image.Unlock();
    return image;
}

bool WriteMovie(const std::string& name, uint8_t seed)
{
    const RasterImage frame = Picture(30, 20, seed);
    if (AviBegin(name, {30, 20, 3, 40}))
        return true;
    for (int i = 0; i < 3; ++i)
        if (AviWriteFrame(frame)) {
            AviFinish();
            return true;
        }
    return AviFinish();
}

// Restores the write routine whatever the test does.
struct FailingWrites {
    explicit FailingWrites(int64_t bytes) { AtomicFileWriter::FailWritesAfter(bytes); }
    ~FailingWrites() { AtomicFileWriter::FailWritesAfter(-1); }
};
}  // namespace

TEST(FailingWrites, NoKindOfFileIsLostToAWriteThatFails)
{
    ProjectRecord project;
    SetNewProjectDefaults(project, ProjectKind::Mesh, "/tmp/", "a.msh", "b.msh");
    TMeshDefsData mesh(5, 4);
    TNodeDefsData nodes;
    nodes.AppendUnchecked({0.25, 0.5});
    nodes.AppendUnchecked({0.75, 0.125});
    uint8_t seed = 1;
    const std::vector<Writer> writers = {
        {"p.bmp", [&](const std::string& n) { return SavePicture(n, Picture(13, 9, seed)); }},
        {"p.tga", [&](const std::string& n) { return SavePicture(n, Picture(13, 9, seed)); }},
        {"p.png", [&](const std::string& n) { return SavePicture(n, Picture(13, 9, seed)); }},
        {"m.avi", [&](const std::string& n) { return WriteMovie(n, seed); }},
        {"x.prj", [&](const std::string& n) { project.Common().Tool = seed % 5; return SaveProj(n, project); }},
        {"m.msh", [&](const std::string& n) { mesh.X[6] = seed / 256.0; return mesh.SaveToFile(n); }},
        {"n.msh", [&](const std::string& n) { nodes.X[0] = seed / 256.0; return nodes.SaveToFile(n); }},
    };
    for (const Writer& w : writers) {
        SCOPED_TRACE(w.Name);
        TempDir dir;
        const std::string name = dir.File(w.Name);
        seed = 1;
        ASSERT_FALSE(w.Write(name));
        const std::vector<uint8_t> old = ReadAll(name);
        ASSERT_GT(old.size(), 40u);
        // Fail at the first byte, inside the header, half-way and at the last byte.
        // (A compressed picture may come out a little shorter: not its last byte.)
        const size_t last = w.Name == "p.png" ? old.size() * 3 / 4 : old.size() - 1;
        for (const int64_t at : {int64_t{0}, int64_t{17}, static_cast<int64_t>(old.size() / 2),
                                 static_cast<int64_t>(last)}) {
            seed = static_cast<uint8_t>(2 + at);  // the new file would differ
            ErrorCapture cap;
            bool failed;
            {
                FailingWrites fail(at);
                failed = w.Write(name);
            }
            EXPECT_TRUE(failed) << at;
            ASSERT_GE(cap.Count(), 1u) << at;
            // "Error writing to file: " or, for a movie's frames, "Error writing to AVI file: ".
            const std::string& text = cap.Messages[0].Text;
            EXPECT_EQ(text.rfind("Error: Error writing to ", 0), 0u) << text;
            EXPECT_TRUE(text.size() > name.size() && text.compare(text.size() - name.size(), name.size(), name) == 0)
                << text;
            EXPECT_EQ(ReadAll(name), old) << at;
            // A movie cut short may be kept beside the old one; nothing else.
            for (const auto& e : fs::directory_iterator(dir.Path())) {
                const std::string f = e.path().filename().string();
                EXPECT_TRUE(f == w.Name || f == "m.partial.avi") << f;
            }
            fs::remove(dir.File("m.partial.avi"));
        }
        // And with room enough the new file replaces the old one.
        seed = 99;
        ASSERT_FALSE(w.Write(name));
        EXPECT_NE(ReadAll(name), old);
    }
}
