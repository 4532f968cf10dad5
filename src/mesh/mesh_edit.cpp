// Inserting and deleting whole grid rows and columns of a mesh pair. Every
// such change goes through InsertLine/DeleteLine (own mesh) and the partner
// operations (other mesh); with MoveNode they are the only places a view
// changes a mesh.
#include <cmath>
#include <new>
#include <stdexcept>
#include <vector>

#include "images/error_box.h"
#include "mesh/mesh_defs.h"
#include "numerics/real48.h"
#include "numerics/resample.h"
#include "numerics/store_real48.h"

namespace {

constexpr double kInsertMinGap = 1e-05;

// The mesh seen along one kind of grid line: rows (line j, position k the
// column, parameter x, value y) or columns (line i, position k the row,
// parameter y, value x).
struct Lines {
    const TMeshDefsData& M;
    bool Columns;

    int32_t Count() const { return Columns ? M.Cols : M.Rows; }
    int32_t Length() const { return Columns ? M.Rows : M.Cols; }
    RealPoint Node(int32_t line, int32_t k) const { return Columns ? M.GetNode(line, k) : M.GetNode(k, line); }
    double Along(RealPoint p) const { return Columns ? p.Y : p.X; }
    double Across(RealPoint p) const { return Columns ? p.X : p.Y; }
};

// New node blocks of a mesh with one line more or less.
struct Blocks {
    int32_t Cols = 0, Rows = 0;
    std::vector<double> X, Y;

    Blocks(const Lines& l, int32_t count)
        : Cols(l.Columns ? count : l.M.Cols), Rows(l.Columns ? l.M.Rows : count),
          X(static_cast<size_t>(Cols) * Rows), Y(static_cast<size_t>(Cols) * Rows)
    {
    }
    void Put(bool columns, int32_t line, int32_t k, RealPoint p)
    {
        const size_t at = columns ? static_cast<size_t>(k) * Cols + line : static_cast<size_t>(line) * Cols + k;
        X[at] = p.X;
        Y[at] = p.Y;
    }
    void InstallInto(TMeshDefsData& m)
    {
        m.X.swap(X);
        m.Y.swap(Y);
        m.Cols = Cols;
        m.Rows = Rows;
        m.Modified = true;
    }
};

// Every grid line evaluated at parameter t: polylines or Catmull-Rom splines.
// False when a line cannot be evaluated there (Linear has said why).
bool EvaluateLines(const Lines& l, bool splines, double t, std::vector<double>& v)
{
    const int32_t n = l.Length();
    std::vector<double> along(n), across(n);
    v.assign(l.Count(), 0.0);
    for (int32_t line = 0; line < l.Count(); ++line) {
        for (int32_t k = 0; k < n; ++k) {
            const RealPoint p = l.Node(line, k);
            along[k] = l.Along(p);
            across[k] = l.Across(p);
        }
        const bool failed = splines ? CatmullRom(along.data(), across.data(), n, &t, &v[line], 1)
                                    : Linear(along.data(), across.data(), n, &t, &v[line], 1);
        if (failed)
            return false;
    }
    return true;
}

Blocks WithLineInserted(const Lines& l, int32_t r, double f)
{
    if (r < 1 || r >= l.Count())
        throw exMyException();  // no line before or after the new one
    Blocks b(l, l.Count() + 1);
    for (int32_t line = 0; line <= l.Count(); ++line) {
        for (int32_t k = 0; k < l.Length(); ++k) {
            if (line != r) {
                b.Put(l.Columns, line, k, l.Node(line < r ? line : line - 1, k));
                continue;
            }
            const RealPoint a = l.Node(r - 1, k);
            const RealPoint c = l.Node(r, k);
            b.Put(l.Columns, line, k, {StoreReal48(a.X + f * (c.X - a.X)), StoreReal48(a.Y + f * (c.Y - a.Y))});
        }
    }
    return b;
}

Blocks WithLineDeleted(const Lines& l, int32_t r)
{
    if (r < 0 || r >= l.Count() || l.Count() <= 2)
        throw exMyException();
    Blocks b(l, l.Count() - 1);
    for (int32_t line = 0; line + 1 < l.Count(); ++line)
        for (int32_t k = 0; k < l.Length(); ++k)
            b.Put(l.Columns, line, k, l.Node(line < r ? line : line + 1, k));
    return b;
}

// Runs an edit; the two failures it can meet are shown as codes 2 and 8.
template <typename Edit>
bool Guarded(Edit edit)
{
    try {
        return edit();
    } catch (const exMyException&) {
        ShowErrorBox(2, "");
    } catch (const std::bad_alloc&) {
        ShowErrorBox(8, "");
    } catch (const std::length_error&) {
        ShowErrorBox(8, "");
    }
    return true;
}

bool TooLarge(const Lines& l) { return static_cast<int64_t>(l.Count() + 1) * l.Length() > kMaxMeshNodes; }

void ShiftSelection(int32_t& selected, int32_t r)
{
    if (selected >= r)
        ++selected;
}

}  // namespace

TMeshDefs* TMeshDefs::Partner() const { return Owner ? Owner->PartnerMeshDefs() : nullptr; }

bool TMeshDefs::InsertRow(RealPoint p, bool atLeftEdge) { return InsertLine(false, p, atLeftEdge); }
bool TMeshDefs::InsertColumn(RealPoint p, bool atTopEdge) { return InsertLine(true, p, atTopEdge); }
bool TMeshDefs::DeleteRow(RealPoint p, double tol) { return DeleteLine(false, p, tol); }
bool TMeshDefs::DeleteColumn(RealPoint p, double tol) { return DeleteLine(true, p, tol); }
bool TMeshDefs::PartnerInsertRow(int32_t r, double f) { return PartnerInsertLine(false, r, f); }
bool TMeshDefs::PartnerInsertColumn(int32_t c, double f) { return PartnerInsertLine(true, c, f); }
bool TMeshDefs::PartnerDeleteRow(int32_t r) { return PartnerDeleteLine(false, r); }
bool TMeshDefs::PartnerDeleteColumn(int32_t c) { return PartnerDeleteLine(true, c); }

bool TMeshDefs::InsertLine(bool columns, RealPoint p, bool atLowEdge)
{
    return Guarded([&] {
        if (!(p.X >= 0 && p.X <= 1 && p.Y >= 0 && p.Y <= 1))
            return true;
        const Lines l{*Data, columns};
        const double t = l.Along(p), q = l.Across(p);
        std::vector<double> v;
        if (!EvaluateLines(l, ShowSplines, t, v))
            return true;
        int32_t r = 0;
        while (r < l.Count() && q > v[r])
            ++r;
        if (r == l.Count() || q == v[r])
            return true;  // past the last line, or on a line
        if (r == 0)
            throw exMyException();  // above the first line: there is no line r - 1
        const double f = StoreReal48((q - v[r - 1]) / (v[r] - v[r - 1]));
        const int32_t s = atLowEdge ? 0 : l.Length() - 1;
        if (l.Across(l.Node(r, s)) - l.Across(l.Node(r - 1, s)) < kInsertMinGap || TooLarge(l))
            return true;
        Blocks own = WithLineInserted(l, r, f);
        // The partner first: either both meshes change or neither does.
        if (TMeshDefs* partner = Partner(); partner && partner->PartnerInsertLine(columns, r, f))
            return true;
        own.InstallInto(*Data);
        ShiftSelection(columns ? SelCol : SelRow, r);
        Beep();
        return false;
    });
}

bool TMeshDefs::PartnerInsertLine(bool columns, int32_t r, double f)
{
    return Guarded([&] {
        const Lines l{*Data, columns};
        if (TooLarge(l))
            return true;
        WithLineInserted(l, r, f).InstallInto(*Data);
        ShiftSelection(columns ? SelCol : SelRow, r);
        return false;
    });
}

bool TMeshDefs::DeleteLine(bool columns, RealPoint p, double tol)
{
    return Guarded([&] {
        const Lines l{*Data, columns};
        const double t = l.Along(p), q = l.Across(p);
        std::vector<double> v;
        if (!EvaluateLines(l, ShowSplines, t, v))
            return true;
        double best = RoundReal48(1e38);
        int32_t found = -1;
        for (int32_t j = 0; j < l.Count(); ++j) {
            double d;
            if (q - tol < v[j] && v[j] < q + tol && TryStoreReal48(std::fabs(q - v[j]), d) && d < best) {
                best = d;
                found = j;
            }
        }
        if (found <= 0 || found >= l.Count() - 1)
            return true;  // nothing near, or a border line
        Blocks own = WithLineDeleted(l, found);
        if (TMeshDefs* partner = Partner(); partner && partner->PartnerDeleteLine(columns, found))
            return true;
        own.InstallInto(*Data);
        SelCol = SelRow = -1;
        Beep();
        return false;
    });
}

bool TMeshDefs::PartnerDeleteLine(bool columns, int32_t r)
{
    return Guarded([&] {
        WithLineDeleted(Lines{*Data, columns}, r).InstallInto(*Data);
        SelCol = SelRow = -1;
        return false;
    });
}
