// Node sets: the corresponding points of the start and end pictures, the
// operations that keep the two sets of a project in step, and the node
// definition file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kMaxNodes = 100;

struct NodePoint {
    double X = 0.0;
    double Y = 0.0;
};

// Radius of influence per node: entry i belongs to node i.
using NodeRadii = std::array<double, kMaxNodes>;

// One node set. Coordinates are normalised (0..1, y = 0 at the top) for the
// sets of a project, or pixels for the warp's temporary sets, which write X
// and Y directly. Every stored value has Real48 precision.
class TNodeDefsData {
public:
    bool IsNew = true;      // not yet saved to or loaded from a file
    bool Modified = false;
    int32_t Count = 0;      // 0..100; X and Y hold Count values each
    std::vector<double> X;
    std::vector<double> Y;
    NodeRadii Radii{};      // computed, never stored in a file

    // Create: Count nodes, all at (0, 0) until the caller fills them; a
    // count of 0 or less gives an empty set. Throws exMyException above 100.
    explicit TNodeDefsData(int32_t count = 0);

    // Throws exMyException unless 0 <= i < Count.
    NodePoint GetNode(int32_t i) const;
    // Stores p as node i (rounded to Real48) and marks the set modified.
    // Throws exMyException unless 0 <= i < Count and p lies in the unit square.
    void SetNode(int32_t i, NodePoint p);

    // Fills Radii in the units of the coordinates: mode 0 every radius is
    // NodeRadius, otherwise the distance to the nearest other node. A single
    // node always gets NodeRadius.
    void ComputeRadii(uint8_t mode);

    // true when failed; the message has been shown.
    bool SaveToFile(const std::string& fileName);
    // With checkCount the file must hold as many nodes as the set. On any
    // failure the set is left exactly as it was.
    bool LoadFromFile(const std::string& fileName, bool checkCount);

    // Grows the set by one node at p (unchecked); used by the pair operations.
    void AppendUnchecked(NodePoint p);
    void RemoveAt(int32_t i);
    // Distances scaled by sx and sy before the radii are taken.
    void ComputeRadiiScaled(uint8_t mode, double sx, double sy);
};

class TNodeDefs;

// What a node set needs of the view that shows it: the view of the other
// picture of the project and the pixel size of the displayed picture.
class NodeDefsOwner {
public:
    virtual ~NodeDefsOwner() = default;
    virtual TNodeDefs* PartnerNodeDefs() = 0;  // null when there is none
    virtual int32_t PictureWidth() const = 0;
    virtual int32_t PictureHeight() const = 0;
};

// A node set as a view holds it: the set, its selection and display settings.
class TNodeDefs {
public:
    NodeDefsOwner* Owner = nullptr;
    uint32_t PointColor = 0;
    uint32_t SelectedPointColor = 0;
    TNodeDefsData Data;
    int32_t Selected = -1;
    int32_t PointSize = 5;
    bool ShowPoints = false;
    bool ShowRadii = false;

    // Create: an empty, new, unmodified set.
    explicit TNodeDefs(NodeDefsOwner* owner);

    // Appends a node at p here and in the partner's set, with a beep. Refused
    // silently (true) when either set is full, p lies outside the unit square
    // or there is no partner. Errors inside show a message and give true.
    bool AddNodePair(NodePoint p);
    // The partner's half of AddNodePair: true when refused.
    bool AppendNode(NodePoint p);
    // Deletes the node nearest to p (within tol) here and the node of the same
    // index in the partner's set; true when a pair was deleted.
    bool DeleteNodePair(NodePoint p, double tol);
    // The partner's half of DeleteNodePair; always true.
    bool DeleteNodeAt(int32_t i);
    // Moves node i of this set only; nothing for a bad index. Throws
    // exMyException for p outside the unit square.
    void MoveNode(int32_t i, NodePoint p);
    // The node nearest to p among those less than tol away in x and in y;
    // the lower index wins a tie.
    bool FindNearestNode(NodePoint p, double tol, int32_t& index) const;
    // Radii in pixels of the owner's picture.
    void ComputeRadii(uint8_t mode);

private:
    TNodeDefs* Partner() const;
};
