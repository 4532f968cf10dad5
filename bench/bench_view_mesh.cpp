// What the mesh view costs while the user works in it, on one thread:
//   DragMove     - one pointer move of a node drag on a 1920 x 1080 picture
//                  shown 1:1 with a 30 x 30 mesh drawn as splines of 10
//                  segments: the move handler and the repaint of the view
//                  (the display picture is not rescaled).
//   RegionChange - the refresh after a zoom or pan of a 4096 x 4096 picture
//                  in a 1280 x 800 picture area, quick mode: rendering the
//                  display picture and making it ready for painting.
//                  Arg 0: the whole picture, 1: zoomed to a quarter, 2: panned.
//   RegionCutThenScale - the zoomed region rendered the plain way (cut out,
//                  then scaled), for comparison; no screen image.
// Run offscreen: the view paints into its window's backing store as on a screen.
#include "bench_support.h"
#include "bench_view_support.h"
#include "images/display_scale.h"
#include "views/mesh_imag.h"

namespace {

// A cols x rows mesh with its interior nodes a little off the regular grid.
void JitteredMesh(TMeshDefs& mesh, int cols, int rows)
{
    *mesh.Data = TMeshDefsData(cols, rows);
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < cols; ++i) {
            const bool inner = i > 0 && j > 0 && i < cols - 1 && j < rows - 1;
            const double dx = inner ? 0.2 * ((i * 7 + j * 3) % 5 - 2) / (5.0 * (cols - 1)) : 0;
            const double dy = inner ? 0.2 * ((i * 5 + j * 11) % 5 - 2) / (5.0 * (rows - 1)) : 0;
            mesh.Data->SetNode(i, j, {double(i) / (cols - 1) + dx, double(j) / (rows - 1) + dy}, false);
        }
}

void DragMove(benchmark::State& state)
{
    TMeshImag view;
    view.SetToolSource([] { return ToolMode::Edit; });
    view.SetPicture(NoisePicture(1920, 1080, 7));
    view.Refresh();
    JitteredMesh(view.Mesh, 30, 30);
    view.Mesh.ShowSplines = true;
    view.Mesh.SegmentCount = 10;
    view.Mesh.SplineColor = 0x0000FFFF;
    view.Mesh.PointColor = 0x00FF00FF;
    view.show();
    QCoreApplication::processEvents();
    const RealPoint node = view.Mesh.Data->GetNode(15, 15);
    const ViewMapping m = view.Mapping();
    const QPoint at(int(m.PanelX(node.X)), int(m.PanelY(node.Y)));
    TimeDragMoves(state, view, at, [&] { return view.IsDragging(); });
    ReportMegapixels(state, 1920.0 * 1080.0);
}

void RegionChange(benchmark::State& state)
{
    TMeshImag view;
    view.SetPicture(NoisePicture(4096, 4096, 9));
    view.resize(1280 + 28, 800 + 28);
    const ViewRegion whole{0, 0, 4095, 4095};
    const ViewRegion quarter{1024, 1024, 3071, 3071};
    int k = 0;
    for (auto _ : state) {
        ViewRegion r = state.range(0) == 0 ? whole : quarter;
        if (state.range(0) == 2) {
            // Alternating pans of a few pixels, as a hand move makes them.
            const int shift = (k++ % 2) * 8;
            r.Left += shift;
            r.Right += shift;
            r.Top += shift;
            r.Bottom += shift;
        }
        view.SetRegion(r);
        view.RefreshView();
        benchmark::DoNotOptimize(view.GetDisplay().Lock());
    }
    ReportMegapixels(state, 1280.0 * 800.0);
}

// The same zoomed region rendered the plain way, cut out first and then
// scaled, to set the in-place quick path against.
void RegionCutThenScale(benchmark::State& state)
{
    const RasterImage picture = NoisePicture(4096, 4096, 9);
    RasterImage display;
    display.Init(1280, 800);
    const ViewRegion quarter{1024, 1024, 3071, 3071};
    for (auto _ : state) {
        const RasterImage part = CutRegion(picture, quarter);
        ScaleQuick(part, display);
        benchmark::DoNotOptimize(display.Lock());
    }
    ReportMegapixels(state, 1280.0 * 800.0);
}

}  // namespace

BENCHMARK(RegionCutThenScale)->Unit(benchmark::kMillisecond);
BENCHMARK(DragMove)->Unit(benchmark::kMillisecond);
BENCHMARK(RegionChange)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return RunViewBenchmarks(argc, argv); }
