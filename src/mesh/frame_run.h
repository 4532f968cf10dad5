// The loop shared by the mesh and node generators: compute each frame, store
// it (numbered picture or movie frame) and hand it to the result view, with
// the store of one frame running beside the computing of the next.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "images/raster_image.h"
#include "images/result_view.h"
#include "project/project_record.h"

// Makes frame k; true when it failed, its messages shown. A frame left
// allocated on failure is still handed to the view.
using FrameMaker = std::function<bool(int32_t k, RasterImage& frame)>;

// Runs frames in order for an output of kind at base (an open movie for
// Avi, begun by the caller). At most two frames are alive besides the one
// the view shows: the one being stored and the one being computed. Messages,
// beeps and the view are reached only from the calling thread, in the order
// of a plain one-frame-after-the-other run: a store that fails ends the run
// before anything of the frame computed beside it is shown. The movie is
// finished on every path, and the files written are synced to the disk once
// at the end. Returns true when anything failed.
bool StoreFrames(const std::vector<int32_t>& frames, OutputKind kind, const std::string& base,
                 const FrameMaker& makeFrame, ResultView& view);

// Turns the overlap off (true) or on; the files and messages are the same
// either way. For the tests and the benchmarks.
void SetFramesOneAfterTheOther(bool on);
