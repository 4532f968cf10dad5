#include "images/avi_file.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <unistd.h>
#include <memory>
#include <new>
#include <vector>

#include "images/error_box.h"
#include "images/picture_io.h"
#include "images/raster_image.h"
#include "images/safe_file.h"

namespace {

constexpr int64_t kHeaderBytes = 224;       // everything before the first frame chunk
constexpr int64_t kChunkHeaderBytes = 8;    // "00db" and the frame size
constexpr int64_t kIndexEntryBytes = 16;
constexpr uint32_t kKeyFrameFlag = 16;
constexpr uint32_t kRateScale = 30;
constexpr int32_t kMaxSide = 65535;         // the frame rectangle holds 16-bit sides
constexpr int32_t kIndexBlockEntries = 4096;

// Header fields patched when the movie is cut back to the frames written.
constexpr long kRiffSizeAt = 4;
constexpr long kTotalFramesAt = 48;
constexpr long kRiffCopyAt = 84;
constexpr long kLengthAt = 140;
constexpr long kMoviSizeAt = 216;

const std::string kWriteError = "Error writing to AVI file";

struct MovieState {
    bool Open = false;
    bool WriteFailed = false;     // the file may end in a partial frame
    AviParams Params;
    std::string FileName;
    std::FILE* Stream = nullptr;  // the work area's stream this movie was given
    int32_t FramesWritten = 0;    // complete frame chunks in the file
};

MovieState Movie;

int64_t FrameBytes(const AviParams& p) { return int64_t{p.Width} * p.Height * 4; }
int64_t RiffSize(int64_t frameBytes, int64_t frames) { return (frameBytes + 24) * frames + 224; }
int64_t MoviSize(int64_t frameBytes, int64_t frames) { return (frameBytes + 8) * frames + 4; }
int64_t ChunkOffset(int64_t frameBytes, int64_t i)
{
    return kHeaderBytes + i * (frameBytes + kChunkHeaderBytes);
}

uint32_t SaturateU32(long double v)
{
    return v >= static_cast<long double>(UINT32_MAX) ? UINT32_MAX : static_cast<uint32_t>(v);
}

// The two rounded header values, in extended precision as the layout defines
// them. Round is ties-to-even under the default rounding mode.
uint32_t MaxBytesPerSecond(const AviParams& p)
{
    return SaturateU32(std::nearbyintl(static_cast<long double>(FrameBytes(p)) /
                                       (static_cast<long double>(p.FrameDelay) * 0.001L)));
}

uint32_t StreamRate(const AviParams& p)
{
    return SaturateU32(std::nearbyintl(1000.0L / static_cast<long double>(p.FrameDelay) * kRateScale));
}

class LittleEndianBlock {
public:
    void Tag(const char (&t)[5]) { Bytes.insert(Bytes.end(), t, t + 4); }
    void U16(uint32_t v)
    {
        Bytes.push_back(static_cast<uint8_t>(v));
        Bytes.push_back(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v)
    {
        for (int shift = 0; shift < 32; shift += 8)
            Bytes.push_back(static_cast<uint8_t>(v >> shift));
    }
    std::vector<uint8_t> Bytes;
};

std::vector<uint8_t> BuildHeader(const AviParams& p)
{
    const int64_t f = FrameBytes(p);
    const auto riff = static_cast<uint32_t>(RiffSize(f, p.FrameCount));
    const auto n = static_cast<uint32_t>(p.FrameCount);
    const auto w = static_cast<uint32_t>(p.Width);
    const auto h = static_cast<uint32_t>(p.Height);
    const uint32_t rate = StreamRate(p);
    const uint32_t microseconds = SaturateU32(static_cast<long double>(p.FrameDelay) * 1000);

    LittleEndianBlock b;
    b.Tag("RIFF"); b.U32(riff); b.Tag("AVI ");
    b.Tag("LIST"); b.U32(192); b.Tag("hdrl");
    b.Tag("avih"); b.U32(56);
    b.U32(microseconds);
    b.U32(MaxBytesPerSecond(p));
    b.U32(2038);           // padding granularity
    b.U32(8);              // flags
    b.U32(n);              // total frames
    b.U32(0);              // initial frames
    b.U32(1);              // streams
    b.U32(0);              // suggested buffer size
    b.U32(w); b.U32(h);
    b.U32(kRateScale); b.U32(rate); b.U32(0); b.U32(riff);  // reserved words
    b.Tag("LIST"); b.U32(116); b.Tag("strl");
    b.Tag("strh"); b.U32(56);
    b.Tag("vids"); b.Tag("DIB ");
    b.U32(0);              // flags
    b.U16(0); b.U16(0);    // priority, language
    b.U32(0);              // initial frames
    b.U32(kRateScale); b.U32(rate);
    b.U32(0);              // start
    b.U32(n);              // length
    b.U32(0); b.U32(0); b.U32(0);  // suggested buffer size, quality, sample size
    b.U16(0); b.U16(0); b.U16(w); b.U16(h);  // frame rectangle
    b.Tag("strf"); b.U32(40);
    b.U32(40); b.U32(w); b.U32(h); b.U16(1); b.U16(32);  // bitmap header
    for (int i = 0; i < 6; ++i)
        b.U32(0);
    b.Tag("LIST"); b.U32(static_cast<uint32_t>(MoviSize(f, p.FrameCount))); b.Tag("movi");
    return std::move(b.Bytes);
}

// Why a movie with these parameters cannot be written; empty when it can.
std::string RefusalReason(const AviParams& p)
{
    const std::string size = std::to_string(p.Width) + " x " + std::to_string(p.Height);
    if (p.Width < 1 || p.Height < 1)
        return "AVI frame size " + size + " is not a picture size";
    if (p.Width > kMaxSide || p.Height > kMaxSide)
        return "AVI frame size " + size + " is larger than 65535 x 65535";
    if (p.FrameCount < 1)
        return "an AVI movie needs at least one frame (frame count " + std::to_string(p.FrameCount) + ")";
    if (p.FrameDelay < 1)
        return "AVI frame delay " + std::to_string(p.FrameDelay) + " ms is not positive";
    // (F + 24) x N + 224 must fit the signed 32-bit size fields; divide to stay clear of overflow.
    if (FrameBytes(p) + 24 > (INT32_MAX - kHeaderBytes) / p.FrameCount)
        return "an AVI movie of " + std::to_string(p.FrameCount) + (p.FrameCount == 1 ? " frame" : " frames") + " of " + size +
               " pixels would exceed the 2 GB size limit of AVI files";
    return {};
}

bool StreamIsOurs(const MovieState& m)
{
    // The stream pointer alone is not enough: a closed stream's slot is
    // handed out again by the next open.
    return m.Stream && Pio.File == m.Stream && Pio.OutputOpen && Pio.FileName == m.FileName;
}

bool WriteAt(long offset, uint32_t value)
{
    LittleEndianBlock b;
    b.U32(value);
    return std::fseek(Pio.File, offset, SEEK_SET) == 0 && WriteOutput(b.Bytes.data(), b.Bytes.size());
}

// Rewrites the RIFF size (both copies), the frame counts and the "movi" size.
bool PatchSizes(int64_t riffSize, int64_t frames, int64_t moviSize)
{
    return WriteAt(kRiffSizeAt, static_cast<uint32_t>(riffSize)) &&
           WriteAt(kRiffCopyAt, static_cast<uint32_t>(riffSize)) &&
           WriteAt(kTotalFramesAt, static_cast<uint32_t>(frames)) &&
           WriteAt(kLengthAt, static_cast<uint32_t>(frames)) &&
           WriteAt(kMoviSizeAt, static_cast<uint32_t>(moviSize));
}

// Cuts the movie being written (the temporary file) to size bytes.
bool CutFile(int64_t size)
{
    return Pio.Output && !Pio.Output->InPlace() && Pio.File && std::fflush(Pio.File) == 0 &&
           ::ftruncate(::fileno(Pio.File), static_cast<off_t>(size)) == 0;
}

// Puts a finished movie in place. One cut short replaces no older movie:
// it goes under its own name only when nothing was there, otherwise beside
// it, and the message says where. False when it could not be kept.
bool PlaceMovie(const std::string& fileName, bool complete, int32_t frames)
{
    if (!Pio.Output)
        return false;
    if (!complete)
        std::clearerr(Pio.File);  // the failed write is mended: cut and patched
    if (complete || Pio.Output->InPlace() || !Pio.Output->TargetExisted()) {
        const bool ok = Pio.Output->Commit(false);
        Pio.File = nullptr;  // closed by the commit
        CloseFile();
        return ok;
    }
    const std::string kept = Pio.Output->CommitAside();
    Pio.File = nullptr;
    CloseFile();
    if (kept.empty())
        return false;
    ShowErrorBox(13, "The movie " + fileName + " was left as it was; the " + std::to_string(frames) +
                         (frames == 1 ? " frame" : " frames") + " written went to the movie " + kept);
    return true;
}

bool WriteIndex(int64_t frameBytes, int32_t frames)
{
    LittleEndianBlock b;
    b.Tag("idx1");
    b.U32(static_cast<uint32_t>(kIndexEntryBytes * frames));
    for (int32_t first = 0; first < frames; first += kIndexBlockEntries) {
        const int32_t last = std::min(frames, first + kIndexBlockEntries);
        for (int32_t i = first; i < last; ++i) {
            b.Tag("00db");
            b.U32(kKeyFrameFlag);
            b.U32(static_cast<uint32_t>(ChunkOffset(frameBytes, i)));
            b.U32(static_cast<uint32_t>(frameBytes));
        }
        if (!WriteOutput(b.Bytes.data(), b.Bytes.size()))
            return false;
        b.Bytes.clear();
    }
    return b.Bytes.empty() || WriteOutput(b.Bytes.data(), b.Bytes.size());
}

}  // namespace

bool AviBegin(const std::string& fileName, const AviParams& params)
{
    if (Movie.Open) {
        ShowErrorBox(11, "Error creating file " + fileName + ": another AVI movie is still being written");
        return true;
    }
    if (const std::string why = RefusalReason(params); !why.empty()) {
        ShowErrorBox(11, "Error creating file " + fileName + ": " + why);
        return true;
    }
    if (CreateOutputFile(fileName))
        return true;
    // Unbuffered, so that a failed write is seen by the call that makes it and
    // nothing is left pending for a later seek or close.
    std::setvbuf(Pio.File, nullptr, _IONBF, 0);
    const std::vector<uint8_t> header = BuildHeader(params);
    if (!WriteOutput(header.data(), header.size())) {
        ShowErrorBox(13, "Error writing to file: " + fileName);
        CloseFile();  // a partial header is no movie: the temporary file goes
        return true;
    }
    Movie = MovieState{};
    Movie.Open = true;
    Movie.Params = params;
    Movie.FileName = fileName;
    Movie.Stream = Pio.File;
    return false;
}

bool AviWriteFrame(const RasterImage& image)
{
    if (!Movie.Open) {
        ShowErrorBox(13, kWriteError + ": no movie is open");
        return true;
    }
    if (!StreamIsOurs(Movie)) {
        ShowErrorBox(13, kWriteError + ": the movie file was closed");
        return true;
    }
    if (Movie.WriteFailed) {
        ShowErrorBox(13, kWriteError + ": " + Movie.FileName);
        return true;
    }
    const AviParams& p = Movie.Params;
    if (Movie.FramesWritten >= p.FrameCount) {
        ShowErrorBox(13, kWriteError + ": the movie already holds its " + std::to_string(p.FrameCount) +
                             " frames");
        return true;
    }
    if (!image.Allocated || image.Width() != p.Width || image.Height() != p.Height ||
        image.RowBytes < 3 * p.Width || int64_t{image.ImageSize} < int64_t{image.RowBytes} * p.Height) {
        ShowErrorBox(13, kWriteError + ": a frame of " + std::to_string(image.Width()) + " x " +
                             std::to_string(image.Height()) + " pixels does not fit a movie of " +
                             std::to_string(p.Width) + " x " + std::to_string(p.Height));
        return true;
    }

    const size_t rowLen = 4 * static_cast<size_t>(p.Width);
    std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[rowLen]);
    if (!row) {
        ShowErrorBox(8, "Not Enought memory");
        return true;
    }
    LittleEndianBlock chunk;
    chunk.Tag("00db");
    chunk.U32(static_cast<uint32_t>(FrameBytes(p)));
    bool ok = WriteOutput(chunk.Bytes.data(), chunk.Bytes.size());

    const uint8_t* base = image.Lock();
    for (int32_t y = 0; ok && y < p.Height; ++y) {
        const uint8_t* src = base + int64_t{y} * image.RowBytes;
        uint8_t* dst = row.get();
        for (int32_t x = 0; x < p.Width; ++x, src += 3, dst += 4) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
            dst[3] = 0;
        }
        ok = WriteOutput(row.get(), rowLen);
    }
    image.Unlock();

    if (!ok) {
        Movie.WriteFailed = true;
        ShowErrorBox(13, kWriteError + ": " + Movie.FileName);
        return true;
    }
    ++Movie.FramesWritten;
    if (Pio.Output)
        Pio.Output->StartWriteback();
    return false;
}

bool AviFinish()
{
    if (!Movie.Open)
        return false;
    const MovieState m = Movie;
    Movie = MovieState{};  // whatever happens below, this movie is over
    if (!StreamIsOurs(m)) {
        ShowErrorBox(13, kWriteError + ": the movie file was closed before its index was written");
        return true;
    }

    const int64_t f = FrameBytes(m.Params);
    const int32_t frames = m.FramesWritten;
    const int64_t moviEnd = ChunkOffset(f, frames);
    const bool complete = frames == m.Params.FrameCount;
    bool ok = true;
    if (!complete) {
        // Fewer frames than planned: drop any partial frame and let header and
        // index describe the complete ones, so the file stays a valid movie.
        ok = PatchSizes(RiffSize(f, frames), frames, MoviSize(f, frames)) && CutFile(moviEnd);
    }
    ok = ok && std::fseek(Pio.File, static_cast<long>(moviEnd), SEEK_SET) == 0 && WriteIndex(f, frames);
    if (!ok) {
        ShowErrorBox(13, kWriteError + ": " + m.FileName);
        // Without its index the movie can still be read frame by frame, as
        // long as the RIFF size does not claim the missing index.
        if (CutFile(moviEnd) && PatchSizes(moviEnd - 8, frames, MoviSize(f, frames)) &&
            std::fflush(Pio.File) == 0)
            PlaceMovie(m.FileName, false, frames);
        CloseFile();
        return true;
    }
    if (!PlaceMovie(m.FileName, complete, frames)) {
        ShowErrorBox(13, kWriteError + ": " + m.FileName);
        return true;
    }
    return false;
}

bool AviMovieOpen()
{
    return Movie.Open;
}
