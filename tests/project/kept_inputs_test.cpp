// Every input kept under tests/fixtures/fuzz (hostile files and whatever the
// fuzzers ever found) goes through its reader again: no crash, no sanitizer
// report, and at most one message, which names the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "images/picture_file.h"
#include "images/raster_image.h"
#include "mesh/mesh_defs.h"
#include "node/node_defs.h"
#include "project/project_file.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {
// Reads one file as its fuzz entry point does; true when it was read.
const std::map<std::string, std::function<bool(const std::string&)>>& Readers()
{
    static const std::map<std::string, std::function<bool(const std::string&)>> readers = [] {
        std::map<std::string, std::function<bool(const std::string&)>> r;
        const auto picture = [](const std::string& name) {
            uint8_t* dib = LoadPictureFile(name);
            FreePackedDib(dib);
            return dib != nullptr;
        };
        for (const char* kind : {"bmp", "tga", "pcx", "png", "jpg"})
            r[kind] = picture;
        r["prj"] = [](const std::string& name) {
            ProjectRecord record;
            return !ReadProjectFile(name, record);
        };
        r["msh"] = [](const std::string& name) {
            TMeshDefsData mesh(2, 2);
            return !mesh.LoadFromFile(name, false);
        };
        r["nod"] = [](const std::string& name) {
            TNodeDefsData nodes;
            return !nodes.LoadFromFile(name, false);
        };
        return r;
    }();
    return readers;
}
}  // namespace

TEST(KeptInputs, EveryReaderRefusesItsHostileFilesWithOneMessageNamingThem)
{
    const fs::path root = fs::path(FixturesDir()) / "fuzz";
    int files = 0;
    for (const auto& [kind, read] : Readers()) {
        if (!fs::is_directory(root / kind))
            continue;
        for (const auto& e : fs::directory_iterator(root / kind)) {
            const std::string name = e.path().string();
            ErrorCapture cap;
            const bool readOk = read(name);
            ++files;
            // Projects, meshes and node sets kept here are all unusable; a
            // picture may be read (a cut file gives black for the rest).
            const bool mustFail = kind == "prj" || kind == "msh" || kind == "nod";
            if (mustFail) {
                EXPECT_FALSE(readOk) << name;
            }
            ASSERT_LE(cap.Count(), 1u) << name;
            EXPECT_EQ(cap.Count(), readOk ? 0u : 1u) << name;
            // Opening and reading errors name the file they are about.
            if (!readOk && (cap.LastCode() == 11 || cap.LastCode() == 12)) {
                EXPECT_NE(cap.LastText().find(name), std::string::npos) << cap.LastText();
            }
        }
    }
    EXPECT_GE(files, 19);
}
