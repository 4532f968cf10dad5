#include "project/project_record.h"

#include <algorithm>
#include <cstring>

void ShortName::Set(const std::string& text)
{
    size_t n = std::min<size_t>(text.size(), sizeof Text);
    // Do not split a UTF-8 sequence: back up over continuation bytes.
    if (n < text.size()) {
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    }
    std::memset(Text, 0, sizeof Text);
    std::memcpy(Text, text.data(), n);
    Length = static_cast<uint8_t>(n);
}

ProjectRecord::ProjectRecord() { std::memset(Bytes, 0, sizeof Bytes); }

namespace {
template <class Morph>
void MorphDefaults(Morph& m, const std::string& outputPath)
{
    m.DoAnimation = 1;
    m.WarpSide = 0;
    m.DoMorph = 1;
    m.TotalFrames = 5;
    m.FirstFrame = 1;
    m.LastFrame = 5;
    m.CurrentFrame = 5;
    m.FrameDelay = 1000;
    m.OutputPath.Set(outputPath);
    m.OutputPrefix.Set("Out");
    m.OutputType = 0;
    m.ResultWidth = 160;
    m.ResultHeight = 100;
}

template <class View>
void ViewDefaults(View& v)
{
    v.LeftPaneWidth = 320;
    v.LeftPaneHeight = 200;
    v.RightPaneWidth = 320;
    v.RightPaneHeight = 200;
    v.ResultWidth = 160;
    v.ResultHeight = 100;
    v.ZoomInFactor.Set(2.0);
    v.ZoomOutFactor.Set(0.5);
    v.ZoomQuality = 0;
    v.PointSize = 5;
}
}  // namespace

void SetNewProjectDefaults(ProjectRecord& record, ProjectKind kind, const std::string& outputPath,
                           const std::string& leftDefs, const std::string& rightDefs)
{
    record = ProjectRecord();
    record.Kind = kind;
    ProjectCommon& c = record.Common();
    c.Tool = 0;
    c.LeftDefs.Set(leftDefs);
    c.RightDefs.Set(rightDefs);
    if (kind == ProjectKind::Mesh) {
        MeshProjectRecord& r = record.Mesh;
        MorphDefaults(r.Morph, outputPath);
        r.Morph.WarpMethod = 0;
        ViewDefaults(r.View);
        r.View.ShowLines = 1;
        r.View.ShowSplines = 0;
        r.View.SplineColour = 0x0000FFFF;
        r.View.LineColour = 0x0000FF00;
        r.View.PointColour = 0x00FF00FF;
        r.View.SplineSegments = 10;
    } else {
        NodeProjectRecord& r = record.Node;
        MorphDefaults(r.Morph, outputPath);
        r.Morph.WarpMethod = 1;
        r.Morph.Radius = 50;
        r.Morph.Mi.Set(-1.0);
        ViewDefaults(r.View);
        r.View.ShowPoints = 1;
        r.View.ShowRadii = 0;
        r.View.PointColour = 0x0000FF00;
        r.View.SelectedColour = 0x00FF00FF;
    }
}
