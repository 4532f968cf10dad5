// What the node view costs while the user works in it, on one thread, with
// 100 nodes on a 1920 x 1080 picture shown 1:1, points and radii shown:
//   DragMove    - one pointer move of a node drag: the move handler (node
//                 moved, radii recomputed) and the repaint it asks for.
//                 Arg 0: radii by node spacing (about 190 pixels here),
//                 1: one fixed radius of 400 pixels.
//   FullRepaint - the whole view painted again, as after a release or a
//                 zoom: picture, frames, 100 markers and ellipses.
// Run offscreen: the view paints into its window's backing store as on a screen.
#include "bench_support.h"
#include "bench_view_support.h"
#include "node/node_warp.h"
#include "views/node_imag.h"

namespace {

// 10 x 10 nodes on a grid, each a little off it.
void JitteredNodes(TNodeDefs& nodes)
{
    nodes.Data = TNodeDefsData();
    for (int j = 0; j < 10; ++j)
        for (int i = 0; i < 10; ++i) {
            const double dx = ((i * 7 + j * 3) % 5 - 2) * 0.004, dy = ((i * 5 + j * 11) % 5 - 2) * 0.004;
            nodes.Data.AppendUnchecked({0.05 + 0.1 * i + dx, 0.05 + 0.1 * j + dy});
        }
}

// A view as the benchmarks need it, shown and painted once.
void Prepare(TNodeImag& view, uint8_t radiusMode)
{
    view.SetToolSource([] { return ToolMode::Edit; });
    view.SetPicture(NoisePicture(1920, 1080, 7));
    view.Refresh();
    JitteredNodes(view.Nodes);
    view.Nodes.PointColor = 0x0000FFFF;
    view.Nodes.SelectedPointColor = 0x000000FF;
    view.SetShowFlags(true, true);
    view.SetRadiusMode(radiusMode);
    view.ComputeRadii();
    view.show();
    QCoreApplication::processEvents();
}

void DragMove(benchmark::State& state)
{
    const double savedRadius = NodeRadius;
    NodeRadius = 400;
    TNodeImag view;
    Prepare(view, state.range(0) == 0 ? 1 : 0);
    const NodePoint node = view.Nodes.Data.GetNode(55);
    const ViewMapping m = view.Mapping();
    const QPoint at(int(m.PanelX(node.X)), int(m.PanelY(node.Y)));
    TimeDragMoves(state, view, at, [&] { return view.IsDragging(); });
    NodeRadius = savedRadius;
    ReportMegapixels(state, 1920.0 * 1080.0);
}

void FullRepaint(benchmark::State& state)
{
    TNodeImag view;
    Prepare(view, 1);
    for (auto _ : state)
        view.repaint();
    ReportMegapixels(state, 1920.0 * 1080.0);
}

}  // namespace

BENCHMARK(DragMove)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(FullRepaint)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return RunViewBenchmarks(argc, argv); }
