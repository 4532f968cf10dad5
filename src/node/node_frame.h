// Node frames and animations: one frame of a node morph (a warp of one
// picture towards the in-between node positions, or both pictures warped and
// cross-dissolved), and the generator that stores a range of frames as
// numbered TGA or BMP pictures or as one AVI movie.
#pragma once

#include <cstdint>
#include <string>

#include "images/raster_image.h"
#include "images/result_view.h"
#include "node/node_defs.h"
#include "project/project_record.h"

// Sets the program-wide NodeRadiusMode, NodeRadius and NodeMi from a node
// project's settings, as activating the project does: the mode is WarpMethod,
// the radius the integer Radius, mi the stored Mi.
void ApplyNodeWarpParameters(const NodeMorphSettings& settings);

// Normalised position of one node in frame k of totalFrames: the left position
// in frame 1, the right one in the last frame, on the straight line between
// them otherwise; rounded to Real48 once. Needs totalFrames >= 2.
double NodeInBetween(double left, double right, int32_t k, int32_t totalFrames);

// Computes frame k (1..TotalFrames) into framePicture, which it creates with
// ResultWidth x ResultHeight pixels. Nodes are normalised; the right set must
// have as many nodes as the left. The radii are computed here for WarpMethod;
// the warp reads the program-wide node warp parameters. Returns true when it
// failed, after one message: framePicture then holds what was computed, black
// elsewhere (unallocated only when memory was short or the settings unusable).
bool NodeFrame(const RasterImage& leftPicture, const TNodeDefsData& leftNodes,
               const RasterImage& rightPicture, const TNodeDefsData& rightNodes,
               const NodeMorphSettings& settings, int32_t k, RasterImage& framePicture);

// Generates the frames chosen by the settings (FirstFrame..LastFrame, in
// descending order for WarpSide 1, or CurrentFrame alone without DoAnimation),
// stores each one and hands it to the view. Stops at the first failure: the
// frames stored before stay, an open movie is finished, and the failing frame
// is shown. Returns true when it failed; every message has been shown.
bool NodeAnimation(const RasterImage& leftPicture, const TNodeDefsData& leftNodes,
                   const RasterImage& rightPicture, const TNodeDefsData& rightNodes,
                   const NodeMorphSettings& settings, ResultView& resultView);
