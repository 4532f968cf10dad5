#include "node/node_frame.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "images/avi_file.h"
#include "images/error_box.h"
#include "images/picture_file.h"
#include "mesh/frame_run.h"
#include "mesh/mesh_frame.h"
#include "node/node_warp.h"
#include "numerics/real48.h"

namespace {

constexpr int kNotEnoughMemoryCode = 8;
constexpr int kUnsupportedSaveCode = 17;
constexpr uint8_t kDestinationRadii = 2;  // WarpMethod "Adaptive - destination"

// Rounds to Real48 precision; a value a Real48 cannot hold passes unchanged
// and is refused later by the warp.
double StoreReal48(double v)
{
    double r;
    return TryRoundReal48(v, r) ? r : v;
}

// Rounds an extended value to the 40-bit significand in one step, so that no
// intermediate rounding to double can move a tie.
double StoreReal48(long double v)
{
    if (v == 0.0L || !std::isfinite(v))
        return static_cast<double>(v);
    int e;
    const long double m = std::frexp(std::fabs(v), &e);  // 0.5 <= m < 1
    const long double s = std::nearbyint(std::ldexp(m, 40));
    const long double r = std::copysign(std::ldexp(s, e - 40), v);
    return StoreReal48(static_cast<double>(r));  // exact; only range handling left
}

// A temporary set: n nodes taken from xs/ys scaled to pixels (sx = width - 1,
// sy = height - 1 of the picture the set belongs to).
TNodeDefsData PixelSet(const std::vector<double>& xs, const std::vector<double>& ys, int32_t n,
                       int32_t width, int32_t height)
{
    TNodeDefsData set(n);
    const double sx = width - 1.0;
    const double sy = height - 1.0;
    for (int32_t i = 0; i < n; ++i) {
        set.X[i] = StoreReal48(xs[i] * sx);
        set.Y[i] = StoreReal48(ys[i] * sy);
    }
    return set;
}

// Computes both radius tables and warps picture from nodes `from` to nodes
// `to`, with the table of the warped picture's own nodes unless the radii
// follow the destination.
NodeWarpStatus WarpTowards(const RasterImage& picture, TNodeDefsData& from, TNodeDefsData& to,
                           uint8_t warpMethod, RasterImage& output)
{
    from.ComputeRadii(warpMethod);
    to.ComputeRadii(warpMethod);
    const NodeRadii& radii = warpMethod == kDestinationRadii ? to.Radii : from.Radii;
    return NodeWarp(picture, from, to, output, radii);
}

void FillBlack(RasterImage& picture)
{
    uint8_t* p = picture.Lock();
    for (int32_t i = 0; i < picture.ImageSize; ++i)
        p[i] = 0;
    picture.Unlock();
}

bool SetFits(const TNodeDefsData& nodes, int32_t n)
{
    return nodes.Count == n && static_cast<int64_t>(nodes.X.size()) >= n &&
           static_cast<int64_t>(nodes.Y.size()) >= n;
}

const char* const kFrameNumbersMessage = "There is inconsistence in frame numbers.";

// Frame numbers and result size the frame routine can work with (the
// settings dialog guarantees them; a project file need not). Shows the
// dialog's message for the first fault found.
bool CheckFrameSettings(const NodeMorphSettings& s, int32_t k)
{
    return FrameNumbersUsable(s.TotalFrames, k, s.ResultWidth, s.ResultHeight);
}

// The frames in the order they are made: FirstFrame..LastFrame, descending
// for the right picture, or CurrentFrame alone. first/last/step describe the
// run; false (after the message) for numbers outside 1..TotalFrames.
bool FrameRun(const NodeMorphSettings& s, int64_t& first, int64_t& last, int64_t& step)
{
    step = 1;
    if (!s.DoAnimation) {
        first = last = s.CurrentFrame;
    } else if (s.WarpSide == 0) {
        first = s.FirstFrame;
        last = s.LastFrame;
    } else {
        first = s.LastFrame;
        last = s.FirstFrame;
        step = -1;
    }
    const int64_t low = step > 0 ? first : last;
    const int64_t high = step > 0 ? last : first;
    if (s.TotalFrames < 2 || low < 1 || low > high || high > s.TotalFrames) {
        ShowErrorBox(1, kFrameNumbersMessage);
        return false;
    }
    return CheckFrameSettings(s, static_cast<int32_t>(first));
}

bool MakePicture(RasterImage& picture, int32_t width, int32_t height)
{
    picture.Init(width, height);
    if (picture.Allocated)
        return true;
    ShowErrorBox(kNotEnoughMemoryCode, "Not Enought memory");
    return false;
}

}  // namespace

void ApplyNodeWarpParameters(const NodeMorphSettings& settings)
{
    NodeRadiusMode = settings.WarpMethod;
    NodeRadius = RoundReal48(static_cast<double>(settings.Radius));  // every int32 fits
    NodeMi = settings.Mi.Get();
}

double NodeInBetween(double left, double right, int32_t k, int32_t totalFrames)
{
    if (k == 1)
        return left;
    if (k == totalFrames)
        return right;
    const long double l = left;
    const long double r = right;
    return StoreReal48(l + (r - l) / (static_cast<long double>(totalFrames) - 1.0L) *
                               (static_cast<long double>(k) - 1.0L));
}

bool NodeFrame(const RasterImage& leftPicture, const TNodeDefsData& leftNodes,
               const RasterImage& rightPicture, const TNodeDefsData& rightNodes,
               const NodeMorphSettings& settings, int32_t k, RasterImage& framePicture)
{
    const ErrorBoxOperation messages;  // a message repeated by the warps is shown once
    framePicture.Done();
    if (!CheckFrameSettings(settings, k))
        return true;
    if (!MakePicture(framePicture, settings.ResultWidth, settings.ResultHeight))
        return true;

    const int32_t n = leftNodes.Count;
    if (n < 0 || n > kMaxNodes || !SetFits(leftNodes, n) || !SetFits(rightNodes, n)) {
        FillBlack(framePicture);
        ShowErrorBox(kNodeWarpErrorCode, NodeWarpMessage(NodeWarpStatus::BadInput, NodeMi));
        return true;
    }
    std::vector<double> ix(n), iy(n);
    for (int32_t i = 0; i < n; ++i) {
        ix[i] = NodeInBetween(leftNodes.X[i], rightNodes.X[i], k, settings.TotalFrames);
        iy[i] = NodeInBetween(leftNodes.Y[i], rightNodes.Y[i], k, settings.TotalFrames);
    }
    const int32_t lw = leftPicture.Width(), lh = leftPicture.Height();
    const int32_t rw = rightPicture.Width(), rh = rightPicture.Height();
    TNodeDefsData l1 = PixelSet(leftNodes.X, leftNodes.Y, n, lw, lh);
    TNodeDefsData r1 = PixelSet(rightNodes.X, rightNodes.Y, n, rw, rh);
    TNodeDefsData a = PixelSet(ix, iy, n, lw, lh);
    TNodeDefsData b = PixelSet(ix, iy, n, rw, rh);
    const uint8_t method = settings.WarpMethod;

    if (!settings.DoMorph) {
        const NodeWarpStatus st = settings.WarpSide == 0
                                      ? WarpTowards(leftPicture, l1, a, method, framePicture)
                                      : WarpTowards(rightPicture, r1, b, method, framePicture);
        return st != NodeWarpStatus::Ok;
    }

    // A failed warp leaves its work picture defined (black where not
    // computed); that picture becomes the frame, and the other warp is not
    // started, so the user sees one message and where it stopped.
    RasterImage w1;
    if (!MakePicture(w1, settings.ResultWidth, settings.ResultHeight)) {
        FillBlack(framePicture);
        return true;
    }
    if (WarpTowards(leftPicture, l1, a, method, w1) != NodeWarpStatus::Ok) {
        framePicture = std::move(w1);
        return true;
    }
    RasterImage w2;
    if (!MakePicture(w2, settings.ResultWidth, settings.ResultHeight)) {
        FillBlack(framePicture);
        return true;
    }
    if (WarpTowards(rightPicture, r1, b, method, w2) != NodeWarpStatus::Ok) {
        framePicture = std::move(w2);
        return true;
    }
    CrossDissolve(w1, w2, k, settings.TotalFrames, framePicture);
    return false;
}

bool NodeAnimation(const RasterImage& leftPicture, const TNodeDefsData& leftNodes,
                   const RasterImage& rightPicture, const TNodeDefsData& rightNodes,
                   const NodeMorphSettings& settings, ResultView& resultView)
{
    const ErrorBoxOperation messages;  // once per run, not once per frame
    int64_t first, last, step;
    if (!FrameRun(settings, first, last, step))
        return true;
    const uint8_t type = settings.OutputType;
    if (!IsOutputKind(type)) {
        // Nothing could be stored: refuse before any work instead of computing
        // frames that go nowhere.
        ShowErrorBox(kUnsupportedSaveCode, "Save to this file type in not supported.");
        return true;
    }
    const bool movie = type == static_cast<uint8_t>(OutputKind::Avi);
    const std::string base = OutputFileBase(settings.OutputPath.Get(), settings.OutputPrefix.Get());
    if (RefuseOutput(base, static_cast<OutputKind>(type), settings.ResultWidth, settings.ResultHeight))
        return true;

    if (movie) {
        AviParams params;
        params.Width = settings.ResultWidth;
        params.Height = settings.ResultHeight;
        params.FrameCount = static_cast<int32_t>(step * (last - first) + 1);
        params.FrameDelay = settings.FrameDelay;
        if (AviBegin(MovieFileName(base), params))
            return true;
    }

    std::vector<int32_t> frames;
    for (int64_t k = first;; k += step) {
        frames.push_back(static_cast<int32_t>(k));
        if (k == last)
            break;
    }
    return StoreFrames(frames, static_cast<OutputKind>(type), base, [&](int32_t k, RasterImage& frame) {
        return NodeFrame(leftPicture, leftNodes, rightPicture, rightNodes, settings, k, frame);
    }, resultView);
}
