// The movie writer: one uncompressed AVI movie of 32-bit frames, written
// through the output stream of the picture file work area. The fixed-size
// header goes out first, so every size in it is planned from the frame size
// and the number of frames; the index follows the last frame.
//
// Calls come in the order AviBegin, AviWriteFrame (once per frame), AviFinish.
// Each returns true when it failed, after showing the message itself.
#pragma once

#include <cstdint>
#include <string>

class RasterImage;

struct AviParams {
    int32_t Width = 0;       // frame width in pixels, 1..65535
    int32_t Height = 0;      // frame height in pixels, 1..65535
    int32_t FrameCount = 0;  // frames that will be written, at least 1
    int32_t FrameDelay = 0;  // milliseconds between frames, at least 1
};

// Checks the parameters (a movie that cannot be represented is refused
// before the file exists), creates the file and writes the header.
bool AviBegin(const std::string& fileName, const AviParams& params);

// Appends one frame; the image must be Width x Height pixels. After a failed
// write the movie takes no more frames.
bool AviWriteFrame(const RasterImage& image);

// Writes the index and closes the file. When fewer frames than planned were
// written completely (a failed write, or a generator that stopped early), the
// movie is cut back to those frames and its header and index count only them,
// so that the file stays a valid movie. Without an open movie (never begun, a
// failed begin, already finished) it does nothing and reports no failure.
bool AviFinish();

// True between a successful AviBegin and the matching AviFinish.
bool AviMovieOpen();
