#include "mesh/mesh_defs.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "images/error_box.h"
#include "images/safe_file.h"
#include "numerics/real48.h"
#include "numerics/store_real48.h"

namespace {
constexpr char kMagic[] = "MESH DEFINITION FILE";
constexpr size_t kHeaderBytes = 30;
constexpr size_t kCountsBytes = 8;

void PutInt32(uint8_t* p, int32_t v)
{
    const uint32_t u = static_cast<uint32_t>(v);
    for (int k = 0; k < 4; ++k)
        p[k] = static_cast<uint8_t>(u >> (8 * k));
}

int32_t GetInt32(const uint8_t* p)
{
    uint32_t u = 0;
    for (int k = 0; k < 4; ++k)
        u |= static_cast<uint32_t>(p[k]) << (8 * k);
    return static_cast<int32_t>(u);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool ReadExactly(std::FILE* f, void* buffer, size_t n)
{
    return std::fread(buffer, 1, n, f) == n;
}

void ShowReadError(const std::string& fileName)
{
    ShowErrorBox(12, "Error reading from file: " + fileName);
}
}  // namespace

TMeshDefsData::TMeshDefsData(int32_t cols, int32_t rows) : Cols(cols), Rows(rows)
{
    if (cols < 0 || rows < 0)
        throw std::invalid_argument("negative mesh size");
    const size_t n = static_cast<size_t>(cols) * static_cast<size_t>(rows);
    X.assign(n, 0.0);
    Y.assign(n, 0.0);
}

RealPoint TMeshDefsData::GetNode(int32_t i, int32_t j) const
{
    if (i < 0 || j < 0 || i >= Cols || j >= Rows)
        throw exMyException();
    const size_t k = Index(i, j);
    return {X[k], Y[k]};
}

void TMeshDefsData::SetNode(int32_t i, int32_t j, RealPoint p, bool constrain)
{
    if (i < 0 || j < 0 || i >= Cols || j >= Rows)
        throw exMyException();
    double x = p.X;
    double y = p.Y;
    if (constrain) {
        if (i > 0 && x <= X[Index(i - 1, j)])
            x = X[Index(i - 1, j)] + kMeshMinGap;
        if (i < Cols - 1 && x >= X[Index(i + 1, j)])
            x = X[Index(i + 1, j)] - kMeshMinGap;
        if (j > 0 && y <= Y[Index(i, j - 1)])
            y = Y[Index(i, j - 1)] + kMeshMinGap;
        if (j < Rows - 1 && y >= Y[Index(i, j + 1)])
            y = Y[Index(i, j + 1)] - kMeshMinGap;
    }
    const double storedX = StoreReal48(x);
    const double storedY = StoreReal48(y);
    const size_t k = Index(i, j);
    X[k] = storedX;
    Y[k] = storedY;
    Modified = true;
}

bool TMeshDefsData::SaveToFile(const std::string& fileName)
{
    const size_t n = X.size();
    std::vector<uint8_t> bytes(kHeaderBytes + kCountsBytes + 12 * n, 0);
    std::memcpy(bytes.data(), kMagic, std::strlen(kMagic));
    PutInt32(&bytes[kHeaderBytes], Cols);
    PutInt32(&bytes[kHeaderBytes + 4], Rows);
    uint8_t* out = &bytes[kHeaderBytes + kCountsBytes];
    for (const std::vector<double>* part : {&X, &Y}) {
        for (double v : *part) {
            Real48Bytes r;
            if (!TryEncodeReal48(v, r)) {
                ShowErrorBox(13, "Error writing to file: " + fileName);
                return true;
            }
            std::memcpy(out, r.data(), r.size());
            out += r.size();
        }
    }
    if (SaveWholeFile(fileName, bytes.data(), bytes.size()))
        return true;
    IsNew = false;
    Modified = false;
    return false;
}

namespace {
// Pixel units of the largest picture, with room for the warp's spline terms.
constexpr double kLargestSide = 65535.0 * 16.0;
}  // namespace

bool TMeshDefsData::LoadFromFile(const std::string& fileName, bool checkSize)
{
    std::string why;
    FilePtr file(OpenPlainFile(fileName, why));
    if (!file) {
        if (why.empty())
            ShowReadError(fileName);
        else
            ShowErrorBox(11, why);
        return true;
    }
    uint8_t header[kHeaderBytes];
    if (!ReadExactly(file.get(), header, sizeof header)) {
        ShowReadError(fileName);
        return true;
    }
    // The text up to the first zero byte is the file type; the bytes after
    // that zero do not matter.
    const char* text = reinterpret_cast<const char*>(header);
    if (std::string(text, strnlen(text, kHeaderBytes)) != kMagic) {
        ShowErrorBox(10, "Unkwown type of file " + fileName);
        return true;
    }
    uint8_t counts[kCountsBytes];
    if (!ReadExactly(file.get(), counts, sizeof counts)) {
        ShowReadError(fileName);
        return true;
    }
    const int32_t cols = GetInt32(counts);
    const int32_t rows = GetInt32(counts + 4);
    if (checkSize && (cols != Cols || rows != Rows)) {
        ShowErrorBox(5, "Size of loaded mesh is different from current mesh (" +
                            std::to_string(cols) + "," + std::to_string(rows) + ") <> (" +
                            std::to_string(Cols) + "," + std::to_string(Rows) + ")");
        return true;
    }
    // The rest of the system needs a real grid; a count no mesh could have
    // must not decide how much memory is taken.
    if (cols < 2 || rows < 2 || static_cast<int64_t>(cols) * rows > kMaxMeshNodes) {
        ShowReadError(fileName);
        return true;
    }
    const size_t n = static_cast<size_t>(cols) * static_cast<size_t>(rows);
    std::vector<uint8_t> data(12 * n);
    if (!ReadExactly(file.get(), data.data(), data.size())) {
        ShowReadError(fileName);
        return true;
    }
    std::vector<double> newX(n), newY(n);
    for (size_t k = 0; k < n; ++k) {
        newX[k] = DecodeReal48(&data[6 * k]);
        newY[k] = DecodeReal48(&data[6 * (n + k)]);
        // Every Real48 decodes to a finite number today; the warp divides by
        // coordinate differences, so keep the guard should the decoder change.
        if (!std::isfinite(newX[k]) || !std::isfinite(newY[k])) {
            ShowReadError(fileName);
            return true;
        }
        // A node the warp cannot take to pixel units of even the largest
        // picture (65535 a side) would fail every frame; say so, with the file.
        double px, py;
        if (!TryStoreReal48(newX[k] * kLargestSide, px) || !TryStoreReal48(newY[k] * kLargestSide, py)) {
            ShowErrorBox(12, "Floating point overflow: " + fileName);
            return true;
        }
    }
    X = std::move(newX);
    Y = std::move(newY);
    Cols = cols;
    Rows = rows;
    IsNew = false;
    Modified = false;
    return false;
}

TMeshDefs::TMeshDefs(TMeshDefsOwner* owner)
    : Owner(owner), Data(std::make_unique<TMeshDefsData>(2, 2))
{
    Data->SetNode(0, 0, {0.0, 0.0}, false);
    Data->SetNode(0, 1, {0.0, 1.0}, false);
    Data->SetNode(1, 0, {1.0, 0.0}, false);
    Data->SetNode(1, 1, {1.0, 1.0}, false);
    Data->Modified = false;
    Data->IsNew = true;
}

void TMeshDefs::MoveNode(int32_t i, int32_t j, RealPoint p)
{
    const int32_t lastCol = Data->Cols - 1;
    const int32_t lastRow = Data->Rows - 1;
    if ((i == 0 || i == lastCol) && (j == 0 || j == lastRow))
        return;
    if (i == 0)
        p.X = 0.0;
    else if (i == lastCol)
        p.X = 1.0;
    else if (j == 0)
        p.Y = 0.0;
    else if (j == lastRow)
        p.Y = 1.0;
    Data->SetNode(i, j, p, true);
}

bool TMeshDefs::FindNearestNode(RealPoint p, double tol, int32_t& i, int32_t& j) const
{
    double best = RoundReal48(1e38);
    bool found = false;
    const TMeshDefsData& m = *Data;
    for (int32_t c = 0; c < m.Cols; ++c) {
        for (int32_t r = 0; r < m.Rows; ++r) {
            const size_t k = m.Index(c, r);
            const double nx = m.X[k];
            const double ny = m.Y[k];
            if (!(p.X - tol < nx && nx < p.X + tol && p.Y - tol < ny && ny < p.Y + tol))
                continue;
            double d;
            if (!TryStoreReal48((p.X - nx) * (p.X - nx) + (p.Y - ny) * (p.Y - ny), d))
                continue;  // farther than any Real48 distance
            if (d < best) {
                best = d;
                found = true;
                i = c;
                j = r;
            }
        }
    }
    return found;
}
