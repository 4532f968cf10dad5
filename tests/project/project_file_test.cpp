#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "project/project_file.h"
#include "test_support.h"

namespace {
std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, size_t at, size_t n)
{
    return std::vector<uint8_t>(v.begin() + at, v.begin() + at + n);
}
using Bytes = std::vector<uint8_t>;
Bytes I32(int32_t v)
{
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
}  // namespace

TEST(ProjectFile, NewMeshProjectBytes)
{
    TempDir dir;
    ProjectRecord rec;
    SetNewProjectDefaults(rec, ProjectKind::Mesh, "/opt/quorvix/", "NewMesh1.Msh", "NewMesh2.Msh");
    const std::string name = dir.File("a.prj");
    ASSERT_FALSE(SaveProj(name, rec));
    const Bytes f = ReadAll(name);
    ASSERT_EQ(f.size(), 1730u);
    EXPECT_EQ(Slice(f, 0, 30), (Bytes{'M', 'E', 'S', 'H', ' ', 'P', 'R', 'O', 'J', 'E', 'C', 'T', ' ', 'F', 'I', 'L', 'E',
                                      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    const size_t m = 30 + 1088;
    EXPECT_EQ(Slice(f, 30, 4), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(Slice(f, m, 4), (Bytes{0, 1, 0, 1}));
    EXPECT_EQ(Slice(f, m + 4, 4), I32(5));
    EXPECT_EQ(Slice(f, m + 8, 4), I32(1));
    EXPECT_EQ(Slice(f, m + 12, 4), I32(5));
    EXPECT_EQ(Slice(f, m + 16, 4), I32(5));
    EXPECT_EQ(Slice(f, m + 20, 4), I32(1000));
    EXPECT_EQ(f[m + 24], 13);  // "/opt/quorvix/"
    EXPECT_EQ(Slice(f, m + 280, 4), (Bytes{3, 'O', 'u', 't'}));
    EXPECT_EQ(f[m + 284], 0);  // unused name bytes are zero
    EXPECT_EQ(f[m + 536], 0);
    EXPECT_EQ(Slice(f, m + 540, 4), I32(160));
    EXPECT_EQ(Slice(f, m + 544, 4), I32(100));
    const size_t v = 30 + 1636;
    EXPECT_EQ(Slice(f, v, 4), I32(320));
    EXPECT_EQ(Slice(f, v + 4, 4), I32(200));
    EXPECT_EQ(Slice(f, v + 8, 4), I32(320));
    EXPECT_EQ(Slice(f, v + 12, 4), I32(200));
    EXPECT_EQ(Slice(f, v + 16, 4), I32(160));
    EXPECT_EQ(Slice(f, v + 20, 4), I32(100));
    EXPECT_EQ(Slice(f, v + 24, 2), (Bytes{0, 0}));
    EXPECT_EQ(Slice(f, v + 26, 6), (Bytes{0x82, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Slice(f, v + 32, 6), (Bytes{0x80, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Slice(f, v + 38, 2), (Bytes{1, 0}));
    EXPECT_EQ(Slice(f, v + 40, 4), (Bytes{0xFF, 0xFF, 0, 0}));
    EXPECT_EQ(Slice(f, v + 44, 4), (Bytes{0, 0xFF, 0, 0}));
    EXPECT_EQ(Slice(f, v + 48, 4), (Bytes{0xFF, 0, 0xFF, 0}));
    EXPECT_EQ(f[v + 52], 0);
    EXPECT_EQ(Slice(f, v + 56, 4), I32(10));
    EXPECT_EQ(Slice(f, v + 60, 4), I32(5));
    // Definition file names, pictures empty.
    EXPECT_EQ(f[30 + 56], 0);
    EXPECT_EQ(f[30 + 312], 0);
    EXPECT_EQ(f[30 + 568], 12);
    EXPECT_EQ(std::string(f.begin() + 30 + 569, f.begin() + 30 + 581), "NewMesh1.Msh");
    EXPECT_EQ(std::string(f.begin() + 30 + 825, f.begin() + 30 + 837), "NewMesh2.Msh");
}

TEST(ProjectFile, NewNodeProjectBytesAndRoundTrip)
{
    TempDir dir;
    ProjectRecord rec;
    SetNewProjectDefaults(rec, ProjectKind::Node, "/p/", "NewMesh3.Msh", "NewMesh4.Msh");
    const std::string name = dir.File("n.PRJ");
    ASSERT_FALSE(SaveProj(name, rec));
    const Bytes f = ReadAll(name);
    ASSERT_EQ(f.size(), 1734u);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 17), "NODE PROJECT FILE");
    const size_t m = 30 + 1088;
    EXPECT_EQ(Slice(f, m, 4), (Bytes{1, 1, 0, 1}));
    EXPECT_EQ(Slice(f, m + 4, 4), I32(50));
    EXPECT_EQ(Slice(f, m + 8, 6), (Bytes{0x81, 0, 0, 0, 0, 0x80}));
    EXPECT_EQ(Slice(f, m + 16, 4), I32(5));
    EXPECT_EQ(Slice(f, m + 292, 4), (Bytes{3, 'O', 'u', 't'}));
    EXPECT_EQ(Slice(f, m + 552, 4), I32(160));
    const size_t v = 30 + 1648;
    EXPECT_EQ(Slice(f, v, 4), I32(320));
    EXPECT_EQ(Slice(f, v + 26, 6), (Bytes{0x82, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Slice(f, v + 38, 2), (Bytes{1, 0}));
    EXPECT_EQ(Slice(f, v + 40, 4), (Bytes{0, 0xFF, 0, 0}));
    EXPECT_EQ(Slice(f, v + 44, 4), (Bytes{0xFF, 0, 0xFF, 0}));
    EXPECT_EQ(Slice(f, v + 52, 4), I32(5));

    ErrorCapture cap;
    ProjectRecord back;
    ASSERT_FALSE(ReadProjectFile(name, back));  // upper-case extension accepted
    EXPECT_EQ(back.Kind, ProjectKind::Node);
    EXPECT_EQ(back.Node.Morph.Mi.Get(), -1.0);
    EXPECT_EQ(std::memcmp(back.Bytes, rec.Bytes, 1704), 0);
    EXPECT_EQ(cap.Count(), 0u);
}

TEST(ProjectFile, OpenRefusalsLeaveRecordAlone)
{
    TempDir dir;
    ErrorCapture cap;
    ProjectRecord rec;
    rec.Common().Tool = 3;

    EXPECT_TRUE(ReadProjectFile(dir.File("x.txt"), rec));
    EXPECT_EQ(cap.LastCode(), 9);
    EXPECT_EQ(cap.LastText(), "Error: A project file name ends in \".prj\": " + dir.File("x.txt"));

    const std::string missing = dir.File("missing.prj");
    EXPECT_TRUE(ReadProjectFile(missing, rec));
    EXPECT_EQ(cap.LastCode(), 11);
    EXPECT_EQ(cap.LastText(), "Error: Error opening file " + missing);

    Bytes spaced(1730, 0);
    const std::string magic = "MESH PROJECT FILE";
    std::copy(magic.begin(), magic.end(), spaced.begin());
    for (size_t i = 17; i < 30; ++i)
        spaced[i] = ' ';
    const std::string bad = dir.File("spaces.prj");
    WriteAll(bad, spaced);
    EXPECT_TRUE(ReadProjectFile(bad, rec));
    EXPECT_EQ(cap.LastCode(), 10);
    EXPECT_EQ(cap.LastText(), "Error: Unkwown type of file " + bad);

    Bytes shortFile(1729, 0);
    std::copy(magic.begin(), magic.end(), shortFile.begin());
    const std::string shortName = dir.File("short.prj");
    WriteAll(shortName, shortFile);
    EXPECT_TRUE(ReadProjectFile(shortName, rec));
    EXPECT_EQ(cap.LastCode(), 12);
    EXPECT_EQ(cap.LastText(), "Error: Error reading from file: " + shortName);
    EXPECT_EQ(rec.Common().Tool, 3);
    EXPECT_EQ(cap.Count(), 4u);
}

TEST(ProjectFile, FailedSaveKeepsPreviousFile)
{
    TempDir dir;
    ErrorCapture cap;
    ProjectRecord rec;
    SetNewProjectDefaults(rec, ProjectKind::Mesh, "/", "a", "b");
    const std::string name = dir.File("keep.prj");
    ASSERT_FALSE(SaveProj(name, rec));
    const Bytes before = ReadAll(name);
    // A read-only folder: the temporary file cannot be made.
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    rec.Common().Tool = 4;
    const bool failed = SaveProj(name, rec);
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_all);
    if (::geteuid() != 0) {  // root ignores folder permissions
        EXPECT_TRUE(failed);
        EXPECT_EQ(cap.LastText(), "Error: Error creating file: " + name);
    }
    if (failed) {
        EXPECT_EQ(ReadAll(name), before);
    }
    // A file that cannot be written at all: a folder in the way.
    const std::string folder = dir.File("sub.prj");
    std::filesystem::create_directory(folder);
    std::filesystem::create_directory(folder + "/x");
    EXPECT_TRUE(SaveProj(folder, rec));
    EXPECT_EQ(cap.LastCode(), 13);
    EXPECT_EQ(cap.LastText(), "Error: Error writing to file: " + folder);
    EXPECT_TRUE(std::filesystem::is_directory(folder + "/x"));
    // No temporary files are left behind.
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.Path()))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

TEST(ProjectFile, LongNamesAreCutAtCharacterBoundary)
{
    ShortName n;
    n.Set(std::string(300, 'a'));
    EXPECT_EQ(n.Length, 255);
    EXPECT_EQ(n.Get(), std::string(255, 'a'));
    // 254 ASCII bytes then a two-byte character that would straddle the limit.
    n.Set(std::string(254, 'b') + "\xC3\xA9" + "cc");
    EXPECT_EQ(n.Length, 254);
    n.Set("short");
    EXPECT_EQ(n.Get(), "short");
    EXPECT_EQ(n.Text[5], 0);
    EXPECT_EQ(n.Text[254], 0);
}
