// The project record: the packed block a project window keeps in memory and
// writes to its ".prj" file byte for byte. Two layouts (mesh 1700 bytes, node
// 1704 bytes) that share their first 1088 bytes. All values little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "numerics/real48.h"

// A length-prefixed text of at most 255 bytes in 256 bytes.
struct ShortName {
    uint8_t Length;
    char Text[255];

    std::string Get() const { return std::string(Text, Length); }
    // Stores text cut to 255 bytes at a UTF-8 character boundary; unused bytes become 0.
    void Set(const std::string& text);
};
static_assert(sizeof(ShortName) == 256);

// Tool codes of the project record and of the picture views.
enum class ToolMode : uint8_t { Edit = 0, Delete = 1, ZoomIn = 2, ZoomAll = 3, HandMove = 4 };
// The tool of a stored code; a code no tool has is taken as the edit tool.
inline ToolMode ToolModeOf(uint8_t code) { return code <= 4 ? static_cast<ToolMode>(code) : ToolMode::Edit; }
enum class OutputKind : uint8_t { Tga = 0, Bmp = 1, Avi = 2, Png = 3 };
// True for the OutputType values a generation can store (0..3).
constexpr bool IsOutputKind(uint8_t type) { return type <= static_cast<uint8_t>(OutputKind::Png); }

struct ProjectCommon {
    uint8_t Tool;
    uint8_t Filler1[3];
    int32_t WindowTop;
    int32_t WindowLeft;
    int32_t ClientWidth;
    int32_t ClientHeight;
    int32_t DividerPos;
    int32_t LeftRegion[4];   // top, left, bottom, right
    int32_t RightRegion[4];
    ShortName LeftPicture;
    ShortName RightPicture;
    ShortName LeftDefs;
    ShortName RightDefs;
    int32_t ResultTop;
    int32_t ResultLeft;
};
static_assert(sizeof(ProjectCommon) == 1088);

struct MeshMorphSettings {
    uint8_t WarpMethod;      // 2 x spline mesh + spline interpolation
    uint8_t DoAnimation;
    uint8_t WarpSide;        // 0 left, 1 right
    uint8_t DoMorph;
    int32_t TotalFrames;
    int32_t FirstFrame;
    int32_t LastFrame;
    int32_t CurrentFrame;
    int32_t FrameDelay;      // milliseconds
    ShortName OutputPath;
    ShortName OutputPrefix;
    uint8_t OutputType;      // OutputKind
    uint8_t Filler[3];
    int32_t ResultWidth;
    int32_t ResultHeight;
};
static_assert(sizeof(MeshMorphSettings) == 548);

struct NodeMorphSettings {
    uint8_t WarpMethod;      // 0 fixed radius, 1 adaptive from source, 2 from destination
    uint8_t DoAnimation;
    uint8_t WarpSide;
    uint8_t DoMorph;
    int32_t Radius;
    Real48 Mi;
    uint8_t Filler1[2];
    int32_t TotalFrames;
    int32_t FirstFrame;
    int32_t LastFrame;
    int32_t CurrentFrame;
    int32_t FrameDelay;
    ShortName OutputPath;
    ShortName OutputPrefix;
    uint8_t OutputType;
    uint8_t Filler2[3];
    int32_t ResultWidth;
    int32_t ResultHeight;
};
static_assert(sizeof(NodeMorphSettings) == 560);

struct MeshViewSettings {
    int32_t LeftPaneWidth;
    int32_t LeftPaneHeight;
    int32_t RightPaneWidth;
    int32_t RightPaneHeight;
    int32_t ResultWidth;
    int32_t ResultHeight;
    uint8_t FitLeft;
    uint8_t FitRight;
    Real48 ZoomInFactor;
    Real48 ZoomOutFactor;
    uint8_t ShowLines;
    uint8_t ShowSplines;
    uint32_t SplineColour;   // 0x00BBGGRR
    uint32_t LineColour;
    uint32_t PointColour;
    uint8_t ZoomQuality;     // 0 quick, 1 normal, 2 high
    uint8_t Filler[3];
    int32_t SplineSegments;
    int32_t PointSize;
};
static_assert(sizeof(MeshViewSettings) == 64);

struct NodeViewSettings {
    int32_t LeftPaneWidth;
    int32_t LeftPaneHeight;
    int32_t RightPaneWidth;
    int32_t RightPaneHeight;
    int32_t ResultWidth;
    int32_t ResultHeight;
    uint8_t FitLeft;
    uint8_t FitRight;
    Real48 ZoomInFactor;
    Real48 ZoomOutFactor;
    uint8_t ShowPoints;
    uint8_t ShowRadii;
    uint32_t PointColour;
    uint32_t SelectedColour;
    uint8_t ZoomQuality;
    uint8_t Filler[3];
    int32_t PointSize;
};
static_assert(sizeof(NodeViewSettings) == 56);

struct MeshProjectRecord {
    ProjectCommon Common;
    MeshMorphSettings Morph;
    MeshViewSettings View;
};
static_assert(sizeof(MeshProjectRecord) == 1700);
static_assert(offsetof(MeshProjectRecord, Morph) == 1088);
static_assert(offsetof(MeshProjectRecord, View) == 1636);

struct NodeProjectRecord {
    ProjectCommon Common;
    NodeMorphSettings Morph;
    NodeViewSettings View;
};
static_assert(sizeof(NodeProjectRecord) == 1704);
static_assert(offsetof(NodeProjectRecord, Morph) == 1088);
static_assert(offsetof(NodeProjectRecord, View) == 1648);

enum class ProjectKind : uint8_t { Mesh = 0, Node = 1 };

constexpr size_t kProjectHeaderBytes = 30;
constexpr size_t kMeshRecordBytes = sizeof(MeshProjectRecord);
constexpr size_t kNodeRecordBytes = sizeof(NodeProjectRecord);
inline const char* ProjectMagic(ProjectKind kind)
{
    return kind == ProjectKind::Mesh ? "MESH PROJECT FILE" : "NODE PROJECT FILE";
}

// Both record kinds, as the open command hands them to a project window.
struct ProjectRecord {
    ProjectKind Kind = ProjectKind::Mesh;
    union {
        MeshProjectRecord Mesh;
        NodeProjectRecord Node;
        uint8_t Bytes[sizeof(NodeProjectRecord)];
    };
    ProjectRecord();
    size_t Size() const { return Kind == ProjectKind::Mesh ? kMeshRecordBytes : kNodeRecordBytes; }
    ProjectCommon& Common() { return Mesh.Common; }
    const ProjectCommon& Common() const { return Mesh.Common; }
};

// Fills the new-project defaults into an all-zero record. outputPath is the
// program folder; leftDefs and rightDefs are the default definition file names.
void SetNewProjectDefaults(ProjectRecord& record, ProjectKind kind, const std::string& outputPath,
                           const std::string& leftDefs, const std::string& rightDefs);
