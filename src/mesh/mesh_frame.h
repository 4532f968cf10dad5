// Frames of a mesh project: the in-between mesh of frame k of N, one picture
// warped onto it or both warped and cross-dissolved, and the animation that
// writes a range of such frames as numbered TGA/BMP files or one AVI movie.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "images/raster_image.h"
#include "mesh/mesh_defs.h"
#include "project/project_record.h"

class ResultView;

// Frame k of totalFrames at width x height can be made (the settings dialog
// guarantees it; a project file need not). Otherwise shows the dialog's
// message for the first fault and returns false.
bool FrameNumbersUsable(int32_t totalFrames, int32_t k, int32_t width, int32_t height);

// Frame k of settings.TotalFrames (N), ResultWidth x ResultHeight pixels, into
// frame (which holds whatever it held before only until the call begins).
// Returns true when it failed, after showing the message; frame is then empty.
// Nothing is thrown: faults of the warp are reported like any other failure.
bool MeshFrame(const RasterImage& leftImage, const TMeshDefsData& leftMesh,
               const RasterImage& rightImage, const TMeshDefsData& rightMesh,
               const MeshMorphSettings& settings, int32_t k, RasterImage& frame);

// Generates the frames chosen by settings, stores each (file or movie) and
// hands it to view. Stops after the first failure; an open movie is finished
// first. Returns true when anything failed (the message has been shown).
bool MeshAnimation(const RasterImage& leftImage, const TMeshDefsData& leftMesh,
                   const RasterImage& rightImage, const TMeshDefsData& rightMesh,
                   const MeshMorphSettings& settings, ResultView& view);

// The pieces above, for the node frames and the tests.

// The frame mesh in result pixels (width x height): at k = 1 exactly the left
// mesh, at k = n exactly the right one, between them the blend of the
// normalised nodes rounded to Real48, then scaled and rounded again. Both
// meshes must be of the same size. Throws Real48Overflow for coordinates no
// Real48 can hold.
TMeshDefsData BlendFrameMesh(const TMeshDefsData& leftMesh, const TMeshDefsData& rightMesh,
                             int32_t k, int32_t n, int32_t width, int32_t height);

// A copy of mesh in pixels of a width x height picture, rounded to Real48.
TMeshDefsData MeshInPixels(const TMeshDefsData& mesh, int32_t width, int32_t height);

// One channel of the cross-dissolve: a + ((b - a) * (k - 1)) / (n - 1), the
// product exact, the division in floating point, rounded (ties to even) and
// clamped to 0..255.
uint8_t DissolveChannel(int a, int b, int32_t k, int32_t n);

// Cross-dissolves a and b (same size as frame, all allocated) into frame for
// frame k of n, every channel as DissolveChannel gives it; the row padding of
// frame becomes 0.
void CrossDissolve(const RasterImage& a, const RasterImage& b, int32_t k, int32_t n,
                   RasterImage& frame);

// Frame numbers in the order they are generated: the current frame alone, or
// first..last, descending when warpSide is 1 (right picture).
std::vector<int32_t> AnimationFrames(bool doAnimation, bool warpSide, int32_t first,
                                     int32_t last, int32_t current);

// Output path with its separator ("/" appended when it does not end with one),
// joined with the prefix and cut to 255 bytes: the common start of every
// output file name.
std::string OutputFileBase(const std::string& outputPath, const std::string& outputPrefix);

// Name of frame k ("<base><k>.TGA", ".BMP" or ".PNG") and of the movie
// ("<base>.AVI").
std::string FrameFileName(const std::string& base, int32_t k, OutputKind kind);
std::string MovieFileName(const std::string& base);

// Checks, before any frame is made, that the output can take the run: a
// name holding a control character (a zero byte would end every frame's
// name at the same place) and a frame size the picture type cannot hold
// are refused with a message. True when refused.
bool RefuseOutput(const std::string& base, OutputKind kind, int32_t width, int32_t height);
