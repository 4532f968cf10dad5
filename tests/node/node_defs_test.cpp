// Node sets: editing operations, the pairing of the two sets, radii and the
// node definition file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "mesh/my_exception.h"
#include "node/node_defs.h"
#include "node/node_warp.h"
#include "numerics/real48.h"
#include "test_support.h"

namespace {

// Two views of one project, each the other's partner.
struct FakeView : NodeDefsOwner {
    TNodeDefs Defs{this};
    FakeView* Other = nullptr;
    int32_t W = 200, H = 100;
    TNodeDefs* PartnerNodeDefs() override { return Other ? &Other->Defs : nullptr; }
    int32_t PictureWidth() const override { return W; }
    int32_t PictureHeight() const override { return H; }
};

struct ViewPair {
    FakeView Left, Right;
    ViewPair() { Left.Other = &Right; Right.Other = &Left; }
};

std::vector<uint8_t> NodeFileBytes(int32_t count, const std::vector<double>& xs,
                                   const std::vector<double>& ys, const char* magic = "NODE DEFINITION FILE")
{
    std::vector<uint8_t> b(30, 0);
    std::memcpy(b.data(), magic, std::strlen(magic));
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(count) >> (8 * i)));
    for (double x : xs) { auto e = EncodeReal48(x); b.insert(b.end(), e.begin(), e.end()); }
    for (double y : ys) { auto e = EncodeReal48(y); b.insert(b.end(), e.begin(), e.end()); }
    return b;
}

void ExpectSame(const TNodeDefsData& a, const TNodeDefsData& b)
{
    ASSERT_EQ(a.Count, b.Count);
    EXPECT_EQ(a.X, b.X);
    EXPECT_EQ(a.Y, b.Y);
    EXPECT_EQ(a.IsNew, b.IsNew);
    EXPECT_EQ(a.Modified, b.Modified);
}

}  // namespace

TEST(NodeDefs, FreshSetIsEmptyNewAndUnmodified)
{
    FakeView v;
    EXPECT_EQ(v.Defs.Data.Count, 0);
    EXPECT_TRUE(v.Defs.Data.X.empty());
    EXPECT_TRUE(v.Defs.Data.IsNew);
    EXPECT_FALSE(v.Defs.Data.Modified);
    EXPECT_EQ(v.Defs.Selected, -1);
    EXPECT_EQ(v.Defs.PointSize, 5);
    TNodeDefsData d(3);
    EXPECT_EQ(d.Count, 3);
    EXPECT_EQ(d.X.size(), 3u);
    EXPECT_EQ(TNodeDefsData(-2).Count, 0);
    EXPECT_THROW(TNodeDefsData(101), exMyException);
}

TEST(NodeDefs, GetAndSetNodeCheckIndexAndUnitSquare)
{
    TNodeDefsData d(2);
    d.SetNode(0, {1.0, 0.0});
    d.SetNode(1, {0.1, 0.7});
    EXPECT_TRUE(d.Modified);
    EXPECT_EQ(d.GetNode(0).X, 1.0);
    // Stored at Real48 precision, which 0.1 is not in double.
    EXPECT_EQ(d.GetNode(1).X, RoundReal48(0.1));
    EXPECT_NE(d.GetNode(1).X, 0.1);
    EXPECT_THROW(d.GetNode(-1), exMyException);
    EXPECT_THROW(d.GetNode(2), exMyException);
    EXPECT_THROW(d.SetNode(2, {0.5, 0.5}), exMyException);
    EXPECT_THROW(d.SetNode(0, {1.00001, 0.5}), exMyException);
    EXPECT_THROW(d.SetNode(0, {0.5, -0.00001}), exMyException);
    EXPECT_THROW(d.SetNode(0, {NAN, 0.5}), exMyException);
    EXPECT_EQ(d.GetNode(0).X, 1.0);  // unchanged by the refused writes
}

TEST(NodeDefs, AddNodePairAppendsToBothSetsAndRefusesSilently)
{
    ViewPair p;
    ErrorCapture errors;
    EXPECT_FALSE(p.Left.Defs.AddNodePair({0.25, 0.5}));
    EXPECT_FALSE(p.Left.Defs.AddNodePair({1.0, 1.0}));  // the right edge is inside
    EXPECT_EQ(errors.Beeps, 2);
    ASSERT_EQ(p.Right.Defs.Data.Count, 2);
    EXPECT_EQ(p.Right.Defs.Data.GetNode(0).X, 0.25);
    EXPECT_EQ(p.Right.Defs.Data.GetNode(1).Y, 1.0);
    EXPECT_TRUE(p.Right.Defs.Data.Modified);

    EXPECT_TRUE(p.Left.Defs.AddNodePair({1.00001, 0.5}));
    EXPECT_TRUE(p.Left.Defs.AddNodePair({0.5, -0.00001}));
    EXPECT_EQ(p.Left.Defs.Data.Count, 2);
    EXPECT_EQ(p.Right.Defs.Data.Count, 2);

    for (int i = 2; i < 100; ++i)
        ASSERT_FALSE(p.Right.Defs.AddNodePair({0.5, 0.5}));
    EXPECT_TRUE(p.Left.Defs.AddNodePair({0.5, 0.5}));
    EXPECT_EQ(p.Left.Defs.Data.Count, 100);
    EXPECT_EQ(p.Right.Defs.Data.Count, 100);
    EXPECT_EQ(errors.Count(), 0u);
    EXPECT_EQ(errors.Beeps, 100);

    FakeView alone;
    EXPECT_TRUE(alone.Defs.AddNodePair({0.5, 0.5}));
    EXPECT_EQ(alone.Defs.Data.Count, 0);
}

TEST(NodeDefs, DeleteNodePairKeepsOrderInBothSets)
{
    ViewPair p;
    ErrorCapture errors;
    for (int i = 0; i < 5; ++i)
        p.Left.Defs.AddNodePair({0.1 + 0.2 * i, 0.5});
    for (int i = 0; i < 5; ++i)
        p.Right.Defs.MoveNode(i, {0.1 + 0.2 * i, 0.25});  // the partner's own positions
    p.Left.Defs.Selected = 3;
    p.Right.Defs.Selected = 1;
    p.Left.Defs.Data.Modified = p.Right.Defs.Data.Modified = false;

    EXPECT_TRUE(p.Left.Defs.DeleteNodePair({0.51, 0.49}, 0.05));
    const std::vector<double> left = {RoundReal48(0.1), RoundReal48(0.3), RoundReal48(0.7), RoundReal48(0.9)};
    EXPECT_EQ(p.Left.Defs.Data.X, left);
    EXPECT_EQ(p.Right.Defs.Data.X, left);
    EXPECT_EQ(p.Right.Defs.Data.Y, std::vector<double>(4, 0.25));
    EXPECT_EQ(p.Left.Defs.Selected, -1);
    EXPECT_EQ(p.Right.Defs.Selected, -1);
    EXPECT_TRUE(p.Left.Defs.Data.Modified);
    EXPECT_TRUE(p.Right.Defs.Data.Modified);
    EXPECT_EQ(errors.Beeps, 6);

    // A miss changes no coordinate but marks the set modified.
    p.Left.Defs.Data.Modified = false;
    EXPECT_FALSE(p.Left.Defs.DeleteNodePair({0.5, 0.9}, 0.05));
    EXPECT_EQ(p.Left.Defs.Data.X, left);
    EXPECT_TRUE(p.Left.Defs.Data.Modified);
    // Outside the unit square nothing happens at all.
    p.Left.Defs.Data.Modified = false;
    EXPECT_FALSE(p.Left.Defs.DeleteNodePair({1.5, 0.5}, 0.05));
    EXPECT_FALSE(p.Left.Defs.Data.Modified);

    // Deleting the last node leaves empty sets.
    ViewPair q;
    q.Left.Defs.AddNodePair({0.5, 0.5});
    EXPECT_TRUE(q.Right.Defs.DeleteNodePair({0.5, 0.5}, 0.01));
    EXPECT_EQ(q.Left.Defs.Data.Count, 0);
    EXPECT_EQ(q.Right.Defs.Data.Count, 0);
}

TEST(NodeDefs, FindNearestNodeAndMoveNode)
{
    ViewPair p;
    p.Left.Defs.AddNodePair({0.375, 0.5});
    p.Left.Defs.AddNodePair({0.625, 0.5});
    p.Left.Defs.AddNodePair({0.5, 0.75});
    int32_t i = -1;
    // Nodes 0 and 1 are equally far from the click: the lower index wins.
    ASSERT_TRUE(p.Left.Defs.FindNearestNode({0.5, 0.5}, 0.15, i));
    EXPECT_EQ(i, 0);
    ASSERT_TRUE(p.Left.Defs.FindNearestNode({0.5, 0.625}, 0.2, i));
    EXPECT_EQ(i, 2);
    // The window is strict and checked in x and in y separately.
    EXPECT_FALSE(p.Left.Defs.FindNearestNode({0.5, 0.5}, 0.125, i));
    EXPECT_FALSE(p.Left.Defs.FindNearestNode({0.625, 0.6}, 0.09, i));
    ASSERT_TRUE(p.Left.Defs.FindNearestNode({0.625, 0.6}, 0.11, i));
    EXPECT_EQ(i, 1);

    p.Left.Defs.MoveNode(1, {0.9, 0.1});
    EXPECT_EQ(p.Left.Defs.Data.GetNode(1).X, RoundReal48(0.9));
    EXPECT_EQ(p.Right.Defs.Data.GetNode(1).X, 0.625);  // the partner keeps its own
    p.Left.Defs.MoveNode(7, {0.2, 0.2});                            // bad index: nothing
    EXPECT_EQ(p.Left.Defs.Data.Count, 3);
    EXPECT_THROW(p.Left.Defs.MoveNode(0, {1.2, 0.2}), exMyException);
}

TEST(NodeDefs, RadiiFixedAdaptiveSingleAndCoincident)
{
    NodeRadius = 7.0;
    TNodeDefsData d(3);
    d.X = {0.0, 3.0, 3.0};
    d.Y = {0.0, 4.0, 10.0};
    d.ComputeRadii(0);
    EXPECT_EQ(d.Radii[0], 7.0);
    EXPECT_EQ(d.Radii[2], 7.0);
    d.Radii[3] = 99.0;
    d.ComputeRadii(1);
    EXPECT_EQ(d.Radii[0], 5.0);
    EXPECT_EQ(d.Radii[1], 5.0);
    EXPECT_EQ(d.Radii[2], 6.0);
    EXPECT_EQ(d.Radii[3], 99.0);  // beyond the count: untouched
    d.ComputeRadii(2);
    EXPECT_EQ(d.Radii[2], 6.0);

    TNodeDefsData one(1);
    one.X = {0.3};
    one.Y = {0.4};
    for (uint8_t mode : {0, 1, 2}) {
        one.Radii[0] = -1.0;
        one.ComputeRadii(mode);
        EXPECT_EQ(one.Radii[0], 7.0) << int(mode);
    }

    TNodeDefsData twins(3);
    twins.X = {1.0, 1.0, 5.0};
    twins.Y = {2.0, 2.0, 2.0};
    twins.ComputeRadii(1);
    EXPECT_EQ(twins.Radii[0], 0.0);
    EXPECT_EQ(twins.Radii[1], 0.0);
    EXPECT_EQ(twins.Radii[2], 4.0);

    // A view's radii are in pixels of its picture: x by the width, y by the height.
    FakeView v;
    FakeView other;
    v.Other = &other;
    v.W = 200;
    v.H = 100;
    v.Defs.AddNodePair({0.0, 0.0});
    v.Defs.AddNodePair({0.5, 0.0});
    v.Defs.AddNodePair({0.5, 0.75});
    v.Defs.ComputeRadii(1);
    EXPECT_EQ(v.Defs.Data.Radii[0], 100.0);
    EXPECT_EQ(v.Defs.Data.Radii[1], 75.0);
    EXPECT_EQ(v.Defs.Data.Radii[2], 75.0);
    NodeRadius = 50.0;
}

TEST(NodeFile, SaveWritesTheFormatByteForByteAndLoadsBack)
{
    TempDir dir;
    ErrorCapture errors;
    TNodeDefsData empty;
    ASSERT_FALSE(empty.SaveToFile(dir.File("empty.msh")));
    EXPECT_EQ(ReadAll(dir.File("empty.msh")), NodeFileBytes(0, {}, {}));
    EXPECT_FALSE(empty.IsNew);

    TNodeDefsData d(3);
    d.SetNode(0, {0.1, 0.2});
    d.SetNode(1, {1.0, 0.0});
    d.SetNode(2, {0.333333333, 0.75});
    ASSERT_FALSE(d.SaveToFile(dir.File("three.msh")));
    EXPECT_FALSE(d.Modified);
    const auto bytes = ReadAll(dir.File("three.msh"));
    EXPECT_EQ(bytes.size(), 70u);
    EXPECT_EQ(bytes, NodeFileBytes(3, {0.1, 1.0, 0.333333333}, {0.2, 0.0, 0.75}));
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);

    TNodeDefsData back;
    ASSERT_FALSE(back.LoadFromFile(dir.File("three.msh"), false));
    EXPECT_EQ(back.X, d.X);
    EXPECT_EQ(back.Y, d.Y);
    EXPECT_FALSE(back.IsNew);
    ASSERT_FALSE(back.SaveToFile(dir.File("again.msh")));
    EXPECT_EQ(ReadAll(dir.File("again.msh")), bytes);
    EXPECT_EQ(errors.Count(), 0u);

    EXPECT_TRUE(d.SaveToFile(dir.File("no/such/folder.msh")));
    EXPECT_EQ(errors.LastText(), "Error: Error creating file: " + dir.File("no/such/folder.msh"));
    EXPECT_EQ(errors.LastCode(), 11);
}

TEST(NodeFile, RefusedFilesLeaveTheSetUnchanged)
{
    TempDir dir;
    TNodeDefsData set(3);
    set.SetNode(0, {0.1, 0.1});
    set.SetNode(1, {0.2, 0.2});
    set.SetNode(2, {0.3, 0.3});
    const TNodeDefsData before = set;

    struct Case {
        std::string Name;
        std::vector<uint8_t> Bytes;
        bool CheckCount;
        int Code;
        std::string Text;  // after "Error: "
    };
    const std::string five = dir.File("five.msh");
    auto good5 = NodeFileBytes(5, {0, 0.1, 0.2, 0.3, 1}, {1, 0.9, 0.8, 0.7, 0});
    auto truncated = good5;
    truncated.resize(truncated.size() - 1);
    auto badByte20 = NodeFileBytes(0, {}, {});
    badByte20[20] = 'X';
    std::vector<Case> cases = {
        {"five.msh", good5, true, 5, "Size of loaded mesh is different from current mesh (5 <> 3)"},
        {"mesh.msh", NodeFileBytes(0, {}, {}, "MESH DEFINITION FILE"), false, 10, "Unkwown type of file "},
        {"byte20.msh", badByte20, false, 10, "Unkwown type of file "},
        {"short.msh", truncated, false, 12, "Error reading from file: "},
        {"header.msh", std::vector<uint8_t>(good5.begin(), good5.begin() + 20), false, 12,
         "Error reading from file: "},
        {"negative.msh", NodeFileBytes(-1, {}, {}), false, 12, "Error reading from file: "},
        {"toomany.msh", NodeFileBytes(101, std::vector<double>(101, 0.5), std::vector<double>(101, 0.5)),
         false, 12, "Error reading from file: "},
        {"outside.msh", NodeFileBytes(1, {1.5}, {0.5}), false, 12, "Error reading from file: "},
        {"negcoord.msh", NodeFileBytes(1, {0.5}, {-0.25}), false, 12, "Error reading from file: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteAll(dir.File(c.Name), c.Bytes);
        ErrorCapture errors;
        EXPECT_TRUE(set.LoadFromFile(dir.File(c.Name), c.CheckCount));
        ASSERT_EQ(errors.Count(), 1u);
        EXPECT_EQ(errors.LastCode(), c.Code);
        const bool namesFile = c.Code != 5;
        EXPECT_EQ(errors.LastText(), "Error: " + c.Text + (namesFile ? dir.File(c.Name) : ""));
        ExpectSame(set, before);
    }
    {
        ErrorCapture errors;
        EXPECT_TRUE(set.LoadFromFile(dir.File("missing.msh"), false));
        EXPECT_EQ(errors.LastText(), "Error: Error opening file: " + dir.File("missing.msh"));
        EXPECT_EQ(errors.LastCode(), 11);
        ExpectSame(set, before);
    }
    // Without the count check the five nodes replace the set; bytes 21..29 are ignored.
    good5[25] = 'z';
    WriteAll(five, good5);
    ErrorCapture errors;
    ASSERT_FALSE(set.LoadFromFile(five, false));
    EXPECT_EQ(set.Count, 5);
    EXPECT_EQ(set.GetNode(4).X, 1.0);
    EXPECT_EQ(set.GetNode(1).Y, RoundReal48(0.9));
    EXPECT_EQ(errors.Count(), 0u);
}
