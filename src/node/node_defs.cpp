#include "node/node_defs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "images/error_box.h"
#include "images/safe_file.h"
#include "mesh/my_exception.h"
#include "node/node_warp.h"
#include "numerics/real48.h"

namespace {

constexpr char kMagic[] = "NODE DEFINITION FILE";
constexpr size_t kMagicLength = sizeof(kMagic) - 1;  // 20
constexpr size_t kHeaderBytes = 30;

bool InUnitSquare(NodePoint p)
{
    return p.X >= 0.0 && p.X <= 1.0 && p.Y >= 0.0 && p.Y <= 1.0;  // false for NaN
}

// A value as a Real48 would hold it; values a Real48 cannot hold pass
// unchanged (they only ever meet comparisons).
double AsReal48(double v)
{
    double r;
    return TryRoundReal48(v, r) ? r : v;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

// ---------------------------------------------------------------- TNodeDefsData

TNodeDefsData::TNodeDefsData(int32_t count)
{
    if (count > kMaxNodes)
        throw exMyException();
    if (count > 0) {
        Count = count;
        X.assign(count, 0.0);
        Y.assign(count, 0.0);
    }
}

NodePoint TNodeDefsData::GetNode(int32_t i) const
{
    if (i < 0 || i >= Count)
        throw exMyException();
    return {X[i], Y[i]};
}

void TNodeDefsData::SetNode(int32_t i, NodePoint p)
{
    if (i < 0 || i >= Count || !InUnitSquare(p))
        throw exMyException();
    X[i] = RoundReal48(p.X);
    Y[i] = RoundReal48(p.Y);
    Modified = true;
}

void TNodeDefsData::AppendUnchecked(NodePoint p)
{
    // Reserve first so that a failed allocation leaves the set as it was.
    X.reserve(Count + 1);
    Y.reserve(Count + 1);
    X.push_back(0.0);
    Y.push_back(0.0);
    ++Count;
    SetNode(Count - 1, p);
}

void TNodeDefsData::RemoveAt(int32_t i)
{
    if (i < 0 || i >= Count)
        return;
    X.erase(X.begin() + i);
    Y.erase(Y.begin() + i);
    --Count;
}

void TNodeDefsData::ComputeRadii(uint8_t mode)
{
    ComputeRadiiScaled(mode, 1.0, 1.0);
}

void TNodeDefsData::ComputeRadiiScaled(uint8_t mode, double sx, double sy)
{
    // Temporary sets write X and Y directly: never index past what they hold.
    const int32_t n = std::min<int64_t>({Count, kMaxNodes, static_cast<int64_t>(X.size()),
                                         static_cast<int64_t>(Y.size())});
    if (n <= 0)
        return;
    const double r = RoundReal48(NodeRadius);
    if (n == 1 || mode == 0) {
        for (int32_t i = 0; i < n; ++i)
            Radii[i] = r;
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        double nearest = RoundReal48(1e38);
        for (int32_t j = 0; j < n; ++j) {
            if (j == i)
                continue;
            const double dx = (X[i] - X[j]) * sx;
            const double dy = (Y[i] - Y[j]) * sy;
            const double d = std::sqrt(dx * dx + dy * dy);
            if (d < nearest)
                nearest = d;
        }
        Radii[i] = RoundReal48(nearest);
    }
}

bool TNodeDefsData::SaveToFile(const std::string& fileName)
{
    if (Count < 0 || Count > kMaxNodes || X.size() < static_cast<size_t>(Count) ||
        Y.size() < static_cast<size_t>(Count)) {
        ShowErrorBox(13, "Error writing to file: " + fileName);
        return true;
    }
    std::vector<uint8_t> bytes(kHeaderBytes + 4 + 12 * static_cast<size_t>(Count), 0);
    std::memcpy(bytes.data(), kMagic, kMagicLength);
    const uint32_t count = static_cast<uint32_t>(Count);
    for (int b = 0; b < 4; ++b)
        bytes[kHeaderBytes + b] = static_cast<uint8_t>(count >> (8 * b));
    uint8_t* xs = bytes.data() + kHeaderBytes + 4;
    uint8_t* ys = xs + 6 * static_cast<size_t>(Count);
    for (int32_t i = 0; i < Count; ++i) {
        Real48Bytes bx, by;
        if (!TryEncodeReal48(X[i], bx) || !TryEncodeReal48(Y[i], by)) {
            ShowErrorBox(13, "Error writing to file: " + fileName);
            return true;
        }
        std::memcpy(xs + 6 * i, bx.data(), 6);
        std::memcpy(ys + 6 * i, by.data(), 6);
    }

    if (SaveWholeFile(fileName, bytes.data(), bytes.size()))
        return true;
    IsNew = false;
    Modified = false;
    return false;
}

bool TNodeDefsData::LoadFromFile(const std::string& fileName, bool checkCount)
{
    std::string why;
    std::unique_ptr<std::FILE, FileCloser> file(OpenPlainFile(fileName, why));
    if (!file) {
        if (why.empty())
            ShowErrorBox(11, "Error opening file: " + fileName);
        else
            ShowErrorBox(11, why);
        return true;
    }
    auto readError = [&] {
        file.reset();
        ShowErrorBox(12, "Error reading from file: " + fileName);
        return true;
    };

    uint8_t header[kHeaderBytes];
    if (std::fread(header, 1, kHeaderBytes, file.get()) != kHeaderBytes)
        return readError();
    if (std::memcmp(header, kMagic, kMagicLength) != 0 || header[kMagicLength] != 0) {
        file.reset();
        ShowErrorBox(10, "Unkwown type of file " + fileName);
        return true;
    }
    uint8_t countBytes[4];
    if (std::fread(countBytes, 1, 4, file.get()) != 4)
        return readError();
    const int32_t count = static_cast<int32_t>(
        static_cast<uint32_t>(countBytes[0]) | static_cast<uint32_t>(countBytes[1]) << 8 |
        static_cast<uint32_t>(countBytes[2]) << 16 | static_cast<uint32_t>(countBytes[3]) << 24);
    // The rest of the program relies on 0..100 nodes; refuse anything else
    // before allocating.
    if (count < 0 || count > kMaxNodes)
        return readError();
    if (checkCount && count != Count) {
        file.reset();
        ShowErrorBox(5, "Size of loaded mesh is different from current mesh (" +
                            std::to_string(count) + " <> " + std::to_string(Count) + ")");
        return true;
    }

    std::vector<uint8_t> raw(12 * static_cast<size_t>(count));
    if (!raw.empty() && std::fread(raw.data(), 1, raw.size(), file.get()) != raw.size())
        return readError();
    std::vector<double> xs(count), ys(count);
    for (int32_t i = 0; i < count; ++i) {
        xs[i] = DecodeReal48(raw.data() + 6 * i);
        ys[i] = DecodeReal48(raw.data() + 6 * (count + i));
        // Coordinates outside the picture would break the editing invariants.
        if (!std::isfinite(xs[i]) || !std::isfinite(ys[i]) || !InUnitSquare({xs[i], ys[i]}))
            return readError();
    }
    file.reset();

    X.swap(xs);
    Y.swap(ys);
    Count = count;
    IsNew = false;
    Modified = false;
    return false;
}

// -------------------------------------------------------------------- TNodeDefs

TNodeDefs::TNodeDefs(NodeDefsOwner* owner) : Owner(owner)
{
    Data.Modified = false;
    Data.IsNew = true;
}

TNodeDefs* TNodeDefs::Partner() const
{
    return Owner ? Owner->PartnerNodeDefs() : nullptr;
}

bool TNodeDefs::AddNodePair(NodePoint p)
{
    try {
        TNodeDefs* partner = Partner();
        // Both sets must be able to take the node, or the counts would part.
        if (!partner || Data.Count >= kMaxNodes || partner->Data.Count >= kMaxNodes ||
            !InUnitSquare(p))
            return true;
        Data.AppendUnchecked(p);
        Beep();
        return partner->AppendNode(p);
    } catch (const exMyException&) {
        ShowErrorBox(2, "");
    } catch (...) {
        ShowErrorBox(8, "");
    }
    return true;
}

bool TNodeDefs::AppendNode(NodePoint p)
{
    if (Data.Count >= kMaxNodes || !InUnitSquare(p))
        return true;
    Data.AppendUnchecked(p);
    return false;
}

bool TNodeDefs::DeleteNodePair(NodePoint p, double tol)
{
    try {
        TNodeDefs* partner = Partner();
        if (!partner || Data.Count <= 0 || !InUnitSquare(p))
            return false;
        int32_t k;
        if (!FindNearestNode(p, tol, k)) {
            Data.Modified = true;
            return false;
        }
        Data.RemoveAt(k);
        Beep();
        Selected = -1;
        partner->DeleteNodeAt(k);
        Data.Modified = true;
        return true;
    } catch (const exMyException&) {
        ShowErrorBox(2, "");
    } catch (...) {
        ShowErrorBox(8, "");
    }
    return false;
}

bool TNodeDefs::DeleteNodeAt(int32_t i)
{
    Data.RemoveAt(i);
    Selected = -1;
    Data.Modified = true;
    return true;
}

void TNodeDefs::MoveNode(int32_t i, NodePoint p)
{
    if (i >= 0 && i < Data.Count)
        Data.SetNode(i, p);
}

bool TNodeDefs::FindNearestNode(NodePoint p, double tol, int32_t& index) const
{
    p.X = AsReal48(p.X);
    p.Y = AsReal48(p.Y);
    tol = AsReal48(tol);
    double best = RoundReal48(1e38);
    bool found = false;
    for (int32_t i = 0; i < Data.Count; ++i) {
        const double nx = Data.X[i];
        const double ny = Data.Y[i];
        if (!(p.X - tol < nx && nx < p.X + tol && p.Y - tol < ny && ny < p.Y + tol))
            continue;
        const double d = AsReal48((p.X - nx) * (p.X - nx) + (p.Y - ny) * (p.Y - ny));
        if (d < best) {
            best = d;
            found = true;
            index = i;
        }
    }
    return found;
}

void TNodeDefs::ComputeRadii(uint8_t mode)
{
    const double w = Owner ? Owner->PictureWidth() : 0.0;
    const double h = Owner ? Owner->PictureHeight() : 0.0;
    Data.ComputeRadiiScaled(mode, w, h);
}
