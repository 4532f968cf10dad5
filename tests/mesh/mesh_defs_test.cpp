#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "mesh/mesh_defs.h"
#include "numerics/real48.h"
#include "test_support.h"

namespace {
// A 3 x 3 mesh: corners and borders on the frame, the centre at (0.5, 0.5).
TMeshDefsData Grid3()
{
    TMeshDefsData m(3, 3);
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i)
            m.SetNode(i, j, {i * 0.5, j * 0.5}, false);
    m.Modified = false;
    return m;
}

// Mesh file bytes built field by field.
std::vector<uint8_t> MeshFile(int32_t cols, int32_t rows, const std::vector<double>& x,
                              const std::vector<double>& y)
{
    std::vector<uint8_t> b(30, 0);
    std::memcpy(b.data(), "MESH DEFINITION FILE", 20);
    for (int32_t v : {cols, rows})
        for (int k = 0; k < 4; ++k)
            b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * k)));
    for (const auto* part : {&x, &y})
        for (double v : *part) {
            const Real48Bytes r = EncodeReal48(v);
            b.insert(b.end(), r.begin(), r.end());
        }
    return b;
}

void ExpectSameMesh(const TMeshDefsData& a, const TMeshDefsData& b)
{
    EXPECT_EQ(a.Cols, b.Cols);
    EXPECT_EQ(a.Rows, b.Rows);
    EXPECT_EQ(a.X, b.X);
    EXPECT_EQ(a.Y, b.Y);
}
}  // namespace

TEST(MeshDefs, NewMeshIsThePictureFrame)
{
    TMeshDefs defs;
    ASSERT_TRUE(defs.Data);
    EXPECT_EQ(defs.Data->Cols, 2);
    EXPECT_EQ(defs.Data->Rows, 2);
    EXPECT_EQ(defs.Data->X, (std::vector<double>{0.0, 1.0, 0.0, 1.0}));
    EXPECT_EQ(defs.Data->Y, (std::vector<double>{0.0, 0.0, 1.0, 1.0}));
    EXPECT_TRUE(defs.Data->IsNew);
    EXPECT_FALSE(defs.Data->Modified);
    EXPECT_LT(defs.SelCol, 0);
    EXPECT_LT(defs.SelRow, 0);
    EXPECT_EQ(defs.PointSize, 5);
    EXPECT_EQ(defs.Owner, nullptr);
    EXPECT_EQ(defs.LineColor, 0u);
    EXPECT_FALSE(defs.ShowLines);
    EXPECT_FALSE(defs.ShowSplines);
}

TEST(MeshDefs, NodeAccessRoundsToReal48AndChecksIndices)
{
    TMeshDefsData m = Grid3();
    m.SetNode(1, 1, {0.1, 0.7}, false);
    EXPECT_TRUE(m.Modified);
    const RealPoint p = m.GetNode(1, 1);
    EXPECT_EQ(p.X, RoundReal48(0.1));
    EXPECT_NE(p.X, 0.1);
    EXPECT_EQ(p.Y, RoundReal48(0.7));
    EXPECT_EQ(m.X[m.Index(1, 1)], p.X);
    EXPECT_THROW(m.GetNode(-1, 0), exMyException);
    EXPECT_THROW(m.GetNode(0, -1), exMyException);
    EXPECT_THROW(m.GetNode(3, 0), exMyException);
    EXPECT_THROW(m.SetNode(0, 3, {0, 0}, false), exMyException);
    EXPECT_THROW(TMeshDefsData(-1, 2), std::invalid_argument);
}

TEST(MeshDefs, ConstrainedWriteKeepsTheGapToGridNeighbours)
{
    const double gap = 5e-05;
    TMeshDefsData m = Grid3();
    // Onto and past the left neighbour (0, 0.5): 5e-05 to its right.
    m.SetNode(1, 1, {-0.2, 0.5}, true);
    EXPECT_EQ(m.GetNode(1, 1).X, RoundReal48(0.0 + gap));
    m.SetNode(1, 1, {1.0, 0.5}, true);  // onto the right neighbour
    EXPECT_EQ(m.GetNode(1, 1).X, RoundReal48(1.0 - gap));
    m.SetNode(1, 1, {0.5, 0.0}, true);  // onto the upper neighbour
    EXPECT_EQ(m.GetNode(1, 1).Y, RoundReal48(0.0 + gap));
    m.SetNode(1, 1, {0.5, 3.0}, true);  // past the lower neighbour
    EXPECT_EQ(m.GetNode(1, 1).Y, RoundReal48(1.0 - gap));
    // Without the constraint anything goes.
    m.SetNode(1, 1, {-0.2, 3.0}, false);
    EXPECT_EQ(m.GetNode(1, 1).X, RoundReal48(-0.2));
    EXPECT_EQ(m.GetNode(1, 1).Y, 3.0);

    // Only the neighbours in the grid row limit x: the node above lying far
    // to the right does not.
    TMeshDefsData s = Grid3();
    s.SetNode(0, 1, {0.0, 0.5}, false);
    s.SetNode(1, 0, {0.8, 0.0}, false);  // upper neighbour far right
    s.SetNode(1, 1, {0.3, 0.5}, true);
    EXPECT_EQ(s.GetNode(1, 1).X, RoundReal48(0.3));

    // Neighbours closer than 1e-04: the later step (right) decides.
    TMeshDefsData t(3, 2);
    t.SetNode(0, 0, {0.5, 0.0}, false);
    t.SetNode(2, 0, {0.50005, 0.0}, false);
    t.SetNode(0, 1, {0.0, 1.0}, false);
    t.SetNode(1, 1, {0.5, 1.0}, false);
    t.SetNode(2, 1, {1.0, 1.0}, false);
    t.SetNode(1, 0, {0.4, 0.0}, true);
    EXPECT_EQ(t.GetNode(1, 0).X, RoundReal48(RoundReal48(0.50005) - gap));
}

TEST(MeshDefs, MoveNodeKeepsCornersAndBorders)
{
    TMeshDefs defs;
    *defs.Data = Grid3();
    // Corners: nothing written, Modified stays false.
    for (int i : {0, 2})
        for (int j : {0, 2}) {
            defs.MoveNode(i, j, {0.3, 0.3});
            EXPECT_EQ(defs.Data->GetNode(i, j).X, i * 0.5);
            EXPECT_EQ(defs.Data->GetNode(i, j).Y, j * 0.5);
        }
    EXPECT_FALSE(defs.Data->Modified);
    // Left border: only y changes; right border likewise.
    defs.MoveNode(0, 1, {0.4, 0.6});
    EXPECT_EQ(defs.Data->GetNode(0, 1).X, 0.0);
    EXPECT_EQ(defs.Data->GetNode(0, 1).Y, RoundReal48(0.6));
    EXPECT_TRUE(defs.Data->Modified);
    defs.MoveNode(2, 1, {0.4, 0.3});
    EXPECT_EQ(defs.Data->GetNode(2, 1).X, 1.0);
    EXPECT_EQ(defs.Data->GetNode(2, 1).Y, RoundReal48(0.3));
    // Top and bottom borders: only x changes.
    defs.MoveNode(1, 0, {0.7, 0.4});
    EXPECT_EQ(defs.Data->GetNode(1, 0).X, RoundReal48(0.7));
    EXPECT_EQ(defs.Data->GetNode(1, 0).Y, 0.0);
    defs.MoveNode(1, 2, {0.2, 0.4});
    EXPECT_EQ(defs.Data->GetNode(1, 2).Y, 1.0);
    // Interior dragged onto its left neighbour: 5e-05 to its right. Dragged
    // outside the frame as far as the neighbours allow.
    defs.MoveNode(1, 1, {0.0, 0.5});
    EXPECT_EQ(defs.Data->GetNode(1, 1).X, RoundReal48(5e-05));
    TMeshDefs wide;
    TMeshDefsData w(3, 3);
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i)
            w.SetNode(i, j, {i * 0.5, j == 1 && i == 1 ? 0.5 : j * 0.5}, false);
    w.SetNode(1, 2, {0.5, 3.0}, false);  // lower neighbour far below the frame
    *wide.Data = w;
    wide.MoveNode(1, 1, {0.5, 1.7});
    EXPECT_EQ(wide.Data->GetNode(1, 1).Y, RoundReal48(1.7));
}

TEST(MeshDefs, NearestNodeUsesASquareWindowAndBreaksTiesByColumnThenRow)
{
    TMeshDefs defs;
    *defs.Data = Grid3();
    int32_t i = -9, j = -9;
    EXPECT_TRUE(defs.FindNearestNode({0.45, 0.55}, 0.1, i, j));
    EXPECT_EQ(i, 1);
    EXPECT_EQ(j, 1);
    // Equidistant from (0, 1) and (1, 1) [x 0 and 0.5], and from (1, 0) and
    // (1, 1) [y 0 and 0.5]: lower column first, then lower row.
    EXPECT_TRUE(defs.FindNearestNode({0.25, 0.5}, 0.3, i, j));
    EXPECT_EQ(i, 0);
    EXPECT_EQ(j, 1);
    EXPECT_TRUE(defs.FindNearestNode({0.5, 0.25}, 0.3, i, j));
    EXPECT_EQ(i, 1);
    EXPECT_EQ(j, 0);
    // Square window: |dx| = |dy| = 0.09 < 0.1 is found although the distance
    // is 0.127 > 0.1; |dx| = 0.1 is never found (strict).
    EXPECT_TRUE(defs.FindNearestNode({0.59, 0.59}, 0.1, i, j));
    EXPECT_EQ(i, 1);
    EXPECT_EQ(j, 1);
    i = j = -9;
    EXPECT_FALSE(defs.FindNearestNode({0.625, 0.5}, 0.125, i, j));
    EXPECT_FALSE(defs.FindNearestNode({0.5, 0.375}, 0.125, i, j));
    EXPECT_EQ(i, -9);
}

TEST(MeshFile, TwoByTwoMeshIsEightySixBytesAndReadsBackExactly)
{
    TempDir dir;
    const std::string name = dir.File("frame.msh");
    TMeshDefs defs;
    defs.Data->SetNode(1, 0, {1.0, 0.0}, false);
    ASSERT_FALSE(defs.Data->SaveToFile(name));
    EXPECT_FALSE(defs.Data->IsNew);
    EXPECT_FALSE(defs.Data->Modified);
    const std::vector<uint8_t> bytes = ReadAll(name);
    ASSERT_EQ(bytes.size(), 86u);
    EXPECT_EQ(bytes, MeshFile(2, 2, {0.0, 1.0, 0.0, 1.0}, {0.0, 0.0, 1.0, 1.0}));
    // 1.0 is 81 00 00 00 00 00; 0.0 all zero.
    EXPECT_EQ(bytes[38 + 6], 0x81);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 20), "MESH DEFINITION FILE");

    TMeshDefsData back(2, 2);
    ASSERT_FALSE(back.LoadFromFile(name, true));
    ExpectSameMesh(back, *defs.Data);
    EXPECT_FALSE(back.IsNew);
}

TEST(MeshFile, ArbitraryCoordinatesRoundTripByteForByte)
{
    TempDir dir;
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> v(-3.0, 3.0);
    TMeshDefsData m(5, 4);
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 5; ++i)
            m.SetNode(i, j, {v(rng), v(rng) * 1e-7}, false);
    ASSERT_FALSE(m.SaveToFile(dir.File("a.msh")));
    TMeshDefsData back(2, 2);
    ASSERT_FALSE(back.LoadFromFile(dir.File("a.msh"), false));
    ExpectSameMesh(back, m);
    ASSERT_FALSE(back.SaveToFile(dir.File("b.msh")));
    EXPECT_EQ(ReadAll(dir.File("a.msh")), ReadAll(dir.File("b.msh")));
    EXPECT_EQ(ReadAll(dir.File("a.msh")).size(), 38u + 12u * 20u);
    // Saving over an existing file replaces it and leaves no temporary behind.
    ASSERT_FALSE(Grid3().SaveToFile(dir.File("a.msh")));
    EXPECT_EQ(ReadAll(dir.File("a.msh")).size(), 38u + 12u * 9u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()), 2);
}

TEST(MeshFile, HeaderTextEndsAtTheFirstZero)
{
    TempDir dir;
    std::vector<uint8_t> bytes = MeshFile(2, 2, {0, 1, 0, 1}, {0, 0, 1, 1});
    for (int k = 21; k < 30; ++k)
        bytes[k] = static_cast<uint8_t>(0x40 + k);
    WriteAll(dir.File("m.msh"), bytes);
    TMeshDefsData m = Grid3();
    ErrorCapture errors;
    EXPECT_FALSE(m.LoadFromFile(dir.File("m.msh"), false));
    EXPECT_EQ(errors.Count(), 0u);
    EXPECT_EQ(m.Cols, 2);
}

TEST(MeshFile, RefusalsShowTheirMessageAndLeaveTheMeshAlone)
{
    TempDir dir;
    const TMeshDefsData original = Grid3();
    struct Case {
        std::string Name;
        std::vector<uint8_t> Bytes;
        bool CheckSize;
        int Code;
        std::string Text;  // after "Error: "
    };
    std::vector<double> x20(20, 0.5), x9(9, 0.25);
    std::vector<uint8_t> node = MeshFile(3, 3, x9, x9);
    std::memcpy(node.data(), "NODE DEFINITION FILE", 20);
    std::vector<uint8_t> longMagic = MeshFile(3, 3, x9, x9);
    longMagic[20] = 'S';
    std::vector<uint8_t> truncated = MeshFile(3, 3, x9, x9);
    truncated.resize(truncated.size() - 1);
    std::vector<uint8_t> shortHeader = MeshFile(3, 3, x9, x9);
    shortHeader.resize(33);
    std::vector<uint8_t> huge = MeshFile(1001, 1000, {}, {});    // 1,001,000 nodes announced
    std::vector<uint8_t> negative = MeshFile(-3, 3, {}, {});
    std::vector<uint8_t> oneColumn = MeshFile(1, 3, {0, 0, 0}, {0, 0.5, 1});
    const std::vector<Case> cases = {
        {"node.msh", node, false, 10, "Unkwown type of file "},
        {"long.msh", longMagic, false, 10, "Unkwown type of file "},
        {"size.msh", MeshFile(5, 4, x20, x20), true, 5,
         "Size of loaded mesh is different from current mesh (5,4) <> (3,3)"},
        {"trunc.msh", truncated, false, 12, "Error reading from file: "},
        {"header.msh", shortHeader, false, 12, "Error reading from file: "},
        {"huge.msh", huge, false, 12, "Error reading from file: "},
        {"negative.msh", negative, false, 12, "Error reading from file: "},
        {"onecol.msh", oneColumn, false, 12, "Error reading from file: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string name = dir.File(c.Name);
        WriteAll(name, c.Bytes);
        TMeshDefsData m = Grid3();
        m.IsNew = true;
        m.Modified = true;
        ErrorCapture errors;
        EXPECT_TRUE(m.LoadFromFile(name, c.CheckSize));
        ASSERT_EQ(errors.Count(), 1u);
        EXPECT_EQ(errors.LastCode(), c.Code);
        const bool named = c.Code != 5;
        EXPECT_EQ(errors.LastText(), "Error: " + c.Text + (named ? name : ""));
        EXPECT_EQ(errors.Messages[0].Caption, "Error");
        ExpectSameMesh(m, original);
        EXPECT_TRUE(m.IsNew);
        EXPECT_TRUE(m.Modified);
    }
    // A missing file.
    TMeshDefsData m = Grid3();
    ErrorCapture errors;
    EXPECT_TRUE(m.LoadFromFile(dir.File("none.msh"), false));
    EXPECT_EQ(errors.LastCode(), 12);
    EXPECT_EQ(errors.LastText(), "Error: Error reading from file: " + dir.File("none.msh"));
    ExpectSameMesh(m, original);
}

TEST(MeshFile, WithoutSizeCheckTheFileSizeIsTakenOver)
{
    TempDir dir;
    std::vector<double> x(20), y(20);
    for (int k = 0; k < 20; ++k) {
        x[k] = (k % 5) / 4.0;
        y[k] = (k / 5) / 3.0;
    }
    WriteAll(dir.File("m.msh"), MeshFile(5, 4, x, y));
    TMeshDefsData m = Grid3();
    ASSERT_FALSE(m.LoadFromFile(dir.File("m.msh"), false));
    EXPECT_EQ(m.Cols, 5);
    EXPECT_EQ(m.Rows, 4);
    EXPECT_EQ(m.GetNode(4, 3).X, 1.0);
    EXPECT_EQ(m.GetNode(3, 2).Y, RoundReal48(2.0 / 3.0));
    EXPECT_FALSE(m.Modified);
}

TEST(MeshFile, SaveFailureKeepsThePreviousFile)
{
    TempDir dir;
    TMeshDefsData m = Grid3();
    m.Modified = true;
    ErrorCapture errors;
    const std::string missing = dir.File("no-such-folder/m.msh");
    EXPECT_TRUE(m.SaveToFile(missing));
    EXPECT_EQ(errors.LastCode(), 11);
    EXPECT_EQ(errors.LastText(), "Error: Error creating file: " + missing);
    EXPECT_TRUE(m.Modified);
    EXPECT_TRUE(m.IsNew);
    // A coordinate no Real48 can hold is refused before the old file is touched.
    const std::string name = dir.File("keep.msh");
    ASSERT_FALSE(m.SaveToFile(name));
    const std::vector<uint8_t> before = ReadAll(name);
    m.X[4] = 1e300;
    EXPECT_TRUE(m.SaveToFile(name));
    EXPECT_EQ(errors.LastCode(), 13);
    EXPECT_EQ(errors.LastText(), "Error: Error writing to file: " + name);
    EXPECT_EQ(ReadAll(name), before);
}
