// Fields that both record kinds have, at different offsets.
#pragma once

#include <cstdint>

#include "project/project_record.h"

inline int32_t& TotalFramesOf(ProjectRecord& r)
{
    return r.Kind == ProjectKind::Mesh ? r.Mesh.Morph.TotalFrames : r.Node.Morph.TotalFrames;
}

inline int32_t& CurrentFrameOf(ProjectRecord& r)
{
    return r.Kind == ProjectKind::Mesh ? r.Mesh.Morph.CurrentFrame : r.Node.Morph.CurrentFrame;
}

// Show lines (mesh) or show points (node).
inline uint8_t& FirstShowFlagOf(ProjectRecord& r)
{
    return r.Kind == ProjectKind::Mesh ? r.Mesh.View.ShowLines : r.Node.View.ShowPoints;
}

// Show splines (mesh) or show radii (node).
inline uint8_t& SecondShowFlagOf(ProjectRecord& r)
{
    return r.Kind == ProjectKind::Mesh ? r.Mesh.View.ShowSplines : r.Node.View.ShowRadii;
}

// The result views' tool that goes with a picture views' tool.
inline uint8_t ResultToolFor(uint8_t tool)
{
    switch (tool) {
    case 2: return 1;  // zoom in
    case 3: return 2;  // zoom all
    case 4: return 3;  // hand move
    default: return 0; // edit and delete have no result tool
    }
}
