#include "mesh/mesh_frame.h"

#include <array>
#include <cstring>
#include <exception>
#include <new>

#include "images/avi_file.h"
#include "images/bands.h"
#include "images/error_box.h"
#include "images/picture_file.h"
#include "images/result_view.h"
#include "mesh/frame_run.h"
#include "mesh/two_pass_warp.h"
#include "numerics/real48.h"
#include "numerics/store_real48.h"

namespace {
constexpr size_t kMaxNameBytes = 255;
constexpr int32_t kMaxTotalFrames = 32768;  // the longest sequence the settings allow
const char* const kFrameMessage = "There is inconsistence in frame numbers.";

void ShowNoMemory() { ShowErrorBox(8, "Not Enought memory"); }

// Cuts text to at most limit bytes without splitting a UTF-8 character.
std::string CutUtf8(const std::string& text, size_t limit)
{
    if (text.size() <= limit)
        return text;
    size_t n = limit;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return text.substr(0, n);
}

}  // namespace

bool FrameNumbersUsable(int32_t totalFrames, int32_t k, int32_t width, int32_t height)
{
    // The blend divides by N - 1, so N = 1 would turn the dissolve into 0/0.
    if (totalFrames < 2 || k < 1 || k > totalFrames) {
        ShowErrorBox(1, kFrameMessage);
        return false;
    }
    if (width < 1) {
        ShowErrorBox(1, "Width of image must be greater then 40.");
        return false;
    }
    if (height < 1) {
        ShowErrorBox(1, "Height of image must be greater then 40.");
        return false;
    }
    return true;
}

namespace {
// What MeshFrame needs before it may touch anything; false after a message.
bool FrameInputsUsable(const RasterImage& leftImage, const TMeshDefsData& leftMesh,
                       const RasterImage& rightImage, const TMeshDefsData& rightMesh,
                       const MeshMorphSettings& s, int32_t k)
{
    if (!FrameNumbersUsable(s.TotalFrames, k, s.ResultWidth, s.ResultHeight))
        return false;
    if (leftMesh.Cols != rightMesh.Cols || leftMesh.Rows != rightMesh.Rows ||
        leftMesh.Cols < 2 || leftMesh.Rows < 2) {
        ShowErrorBox(5, "Size of loaded mesh is different from current mesh (" +
                            std::to_string(rightMesh.Cols) + "," + std::to_string(rightMesh.Rows) +
                            ") <> (" + std::to_string(leftMesh.Cols) + "," +
                            std::to_string(leftMesh.Rows) + ")");
        return false;
    }
    const bool needLeft = s.DoMorph != 0 || s.WarpSide == 0;
    const bool needRight = s.DoMorph != 0 || s.WarpSide != 0;
    if ((needLeft && (!leftImage.Allocated || leftImage.Width() < 1 || leftImage.Height() < 1)) ||
        (needRight && (!rightImage.Allocated || rightImage.Width() < 1 || rightImage.Height() < 1))) {
        ShowErrorBox(15, "Picture width or height is 0");
        return false;
    }
    return true;
}

// A W x H picture with every byte, padding included, set to 0 (left as it
// is without clear: a warp overwrites every pixel); false (after the
// message) when there is no memory for it.
bool InitFrame(RasterImage& image, int32_t width, int32_t height, bool clear = true)
{
    image.Init(width, height);
    if (!image.Allocated) {
        ShowNoMemory();
        return false;
    }
    if (clear) {
        std::memset(image.Lock(), 0, static_cast<size_t>(image.ImageSize));
        image.Unlock();
    }
    return true;
}

bool WarpFrame(const RasterImage& leftImage, const TMeshDefsData& leftMesh,
               const RasterImage& rightImage, const TMeshDefsData& rightMesh,
               const MeshMorphSettings& s, int32_t k, RasterImage& frame)
{
    const int32_t n = s.TotalFrames;
    const int32_t w = s.ResultWidth;
    const int32_t h = s.ResultHeight;
    const TMeshDefsData m = BlendFrameMesh(leftMesh, rightMesh, k, n, w, h);
    if (!InitFrame(frame, w, h))
        return true;
    if (s.DoMorph != 0) {
        const TMeshDefsData l = MeshInPixels(leftMesh, leftImage.Width(), leftImage.Height());
        const TMeshDefsData r = MeshInPixels(rightMesh, rightImage.Width(), rightImage.Height());
        RasterImage a, b;
        // The two warped pictures are read only where the warps wrote them.
        if (!InitFrame(a, w, h, false) || !InitFrame(b, w, h, false))
            return true;
        TwoPassWarp(leftImage, l, m, s.WarpMethod, a);
        TwoPassWarp(rightImage, r, m, s.WarpMethod, b);
        CrossDissolve(a, b, k, n, frame);
    } else if (s.WarpSide == 0) {
        const TMeshDefsData l = MeshInPixels(leftMesh, leftImage.Width(), leftImage.Height());
        TwoPassWarp(leftImage, l, m, s.WarpMethod, frame);
    } else {
        const TMeshDefsData r = MeshInPixels(rightMesh, rightImage.Width(), rightImage.Height());
        TwoPassWarp(rightImage, r, m, s.WarpMethod, frame);
    }
    return false;
}
}  // namespace

TMeshDefsData MeshInPixels(const TMeshDefsData& mesh, int32_t width, int32_t height)
{
    TMeshDefsData out(mesh.Cols, mesh.Rows);
    const double sx = width - 1.0;
    const double sy = height - 1.0;
    for (size_t i = 0; i < out.X.size(); ++i) {
        out.X[i] = StoreReal48(mesh.X[i] * sx);
        out.Y[i] = StoreReal48(mesh.Y[i] * sy);
    }
    return out;
}

TMeshDefsData BlendFrameMesh(const TMeshDefsData& leftMesh, const TMeshDefsData& rightMesh,
                             int32_t k, int32_t n, int32_t width, int32_t height)
{
    TMeshDefsData out(leftMesh.Cols, leftMesh.Rows);
    if (k == 1) {
        out.X = leftMesh.X;
        out.Y = leftMesh.Y;
    } else if (k == n) {
        out.X = rightMesh.X;
        out.Y = rightMesh.Y;
    } else {
        const double steps = n - 1.0;
        const double done = k - 1.0;
        for (size_t i = 0; i < out.X.size(); ++i) {
            const double xl = leftMesh.X[i];
            const double yl = leftMesh.Y[i];
            out.X[i] = StoreReal48(xl + (rightMesh.X[i] - xl) / steps * done);
            out.Y[i] = StoreReal48(yl + (rightMesh.Y[i] - yl) / steps * done);
        }
    }
    return MeshInPixels(out, width, height);
}

uint8_t DissolveChannel(int a, int b, int32_t k, int32_t n)
{
    const int64_t product = static_cast<int64_t>(b - a) * (k - 1);
    const double value = a + static_cast<double>(product) / static_cast<double>(n - 1);
    return static_cast<uint8_t>(ClampRound(255, value));
}

namespace {
// Rows begin .. end - 1 of the dissolve through the table, padding cleared.
// Kept out of line: inlined into the band code the loop came out a third
// slower.
[[gnu::noinline]] void DissolveRows(const uint8_t* table, const uint8_t* pa, const uint8_t* pb, uint8_t* out,
                  int32_t begin, int32_t end, int32_t used, int32_t rowBytes)
{
    for (int32_t row = begin; row < end; ++row) {
        const size_t start = static_cast<size_t>(row) * rowBytes;
        const uint8_t* ra = pa + start;
        const uint8_t* rb = pb + start;
        uint8_t* ro = out + start;
        for (int32_t i = 0; i < used; ++i)
            ro[i] = table[static_cast<size_t>(ra[i]) * 256 + rb[i]];
        std::memset(ro + used, 0, static_cast<size_t>(rowBytes - used));
    }
}
}  // namespace

void CrossDissolve(const RasterImage& a, const RasterImage& b, int32_t k, int32_t n,
                   RasterImage& frame)
{
    // Every channel pair (a, b) has one result per frame: a table of all
    // 65536 of them is far cheaper than a division per byte.
    std::vector<uint8_t> table(256 * 256);
    for (int x = 0; x < 256; ++x)
        for (int y = 0; y < 256; ++y)
            table[static_cast<size_t>(x) * 256 + y] = DissolveChannel(x, y, k, n);

    const int32_t rowBytes = frame.RowBytes;
    const int32_t used = 3 * frame.Width();
    const uint8_t* pa = a.Lock();
    const uint8_t* pb = b.Lock();
    uint8_t* out = frame.Lock();
    ForEachBand(frame.Height(), 32, [&](int begin, int end) {
        DissolveRows(table.data(), pa, pb, out, begin, end, used, rowBytes);
    });
    frame.Unlock();
    b.Unlock();
    a.Unlock();
}

bool MeshFrame(const RasterImage& leftImage, const TMeshDefsData& leftMesh,
               const RasterImage& rightImage, const TMeshDefsData& rightMesh,
               const MeshMorphSettings& settings, int32_t k, RasterImage& frame)
{
    const ErrorBoxOperation messages;  // a message repeated by the warps is shown once
    const MeshMorphSettings s = settings;
    frame.Done();
    if (!FrameInputsUsable(leftImage, leftMesh, rightImage, rightMesh, s, k))
        return true;
    bool failed = true;
    try {
        failed = WarpFrame(leftImage, leftMesh, rightImage, rightMesh, s, k, frame);
    } catch (const std::bad_alloc&) {
        ShowNoMemory();
    } catch (const Real48Overflow& e) {
        ShowErrorBox(1, e.what());
    } catch (const std::exception& e) {
        ShowErrorBox(1, e.what());
    }
    if (failed)
        frame.Done();
    return failed;
}

std::vector<int32_t> AnimationFrames(bool doAnimation, bool warpSide, int32_t first,
                                     int32_t last, int32_t current)
{
    std::vector<int32_t> frames;
    if (!doAnimation) {
        frames.push_back(current);
    } else if (!warpSide) {
        for (int64_t k = first; k <= last; ++k)
            frames.push_back(static_cast<int32_t>(k));
    } else {
        for (int64_t k = last; k >= first; --k)
            frames.push_back(static_cast<int32_t>(k));
    }
    return frames;
}

std::string OutputFileBase(const std::string& outputPath, const std::string& outputPrefix)
{
    std::string path = outputPath;
    if (path.empty() || path.back() != '/')
        path += '/';
    return CutUtf8(path + outputPrefix, kMaxNameBytes);
}

std::string FrameFileName(const std::string& base, int32_t k, OutputKind kind)
{
    const char* extension = kind == OutputKind::Bmp ? ".BMP" : kind == OutputKind::Png ? ".PNG" : ".TGA";
    return base + std::to_string(k) + extension;
}

std::string MovieFileName(const std::string& base) { return base + ".AVI"; }

bool RefuseOutput(const std::string& base, OutputKind kind, int32_t width, int32_t height)
{
    for (const char c : base) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            std::string shown;
            for (const char d : base)
                shown += static_cast<unsigned char>(d) < 0x20 || d == 0x7F ? '?' : d;
            ShowErrorBox(11, "Error creating file " + shown + ": the output name holds a control character");
            return true;
        }
    }
    if (kind == OutputKind::Avi)
        return false;  // the movie writer checks its own limits before the file exists
    const std::string first = FrameFileName(base, 1, kind);
    return RefusePictureSaveSize(first, width, height);
}

bool MeshAnimation(const RasterImage& leftImage, const TMeshDefsData& leftMesh,
                   const RasterImage& rightImage, const TMeshDefsData& rightMesh,
                   const MeshMorphSettings& settings, ResultView& view)
{
    const ErrorBoxOperation messages;  // once per run, not once per frame
    const MeshMorphSettings s = settings;
    if (!IsOutputKind(s.OutputType)) {
        ShowErrorBox(17, "Save to this file type in not supported.");
        return true;
    }
    const auto kind = static_cast<OutputKind>(s.OutputType);
    // Checked before the frame list is made: a project file may hold any
    // numbers, and the list must not cost more than the longest sequence.
    const bool runFits = s.DoAnimation ? (s.FirstFrame >= 1 && s.FirstFrame <= s.LastFrame &&
                                          s.LastFrame <= s.TotalFrames)
                                       : (s.CurrentFrame >= 1 && s.CurrentFrame <= s.TotalFrames);
    if (!runFits || s.TotalFrames < 2 || s.TotalFrames > kMaxTotalFrames) {
        ShowErrorBox(1, kFrameMessage);
        return true;
    }
    const std::vector<int32_t> frames =
        AnimationFrames(s.DoAnimation != 0, s.WarpSide != 0, s.FirstFrame, s.LastFrame,
                        s.CurrentFrame);
    // An empty range or one beyond the sequence would otherwise end silently
    // or extrapolate the meshes.
    if (frames.empty() || s.TotalFrames < 2 || frames.front() < 1 || frames.back() < 1 ||
        frames.front() > s.TotalFrames || frames.back() > s.TotalFrames) {
        ShowErrorBox(1, kFrameMessage);
        return true;
    }
    const std::string base = OutputFileBase(s.OutputPath.Get(), s.OutputPrefix.Get());
    if (RefuseOutput(base, kind, s.ResultWidth, s.ResultHeight))
        return true;
    if (kind == OutputKind::Avi) {
        AviParams params;
        params.Width = s.ResultWidth;
        params.Height = s.ResultHeight;
        params.FrameCount = static_cast<int32_t>(frames.size());
        params.FrameDelay = s.FrameDelay;
        if (AviBegin(MovieFileName(base), params))
            return true;
    }
    return StoreFrames(frames, kind, base, [&](int32_t k, RasterImage& frame) {
        return MeshFrame(leftImage, leftMesh, rightImage, rightMesh, s, k, frame);
    }, view);
}
