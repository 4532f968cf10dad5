#include "app/node_panes.h"

#include "views/node_imag.h"

TNodePanes::TNodePanes(QWidget* parent) : TPairPanes(new TNodeImag, new TNodeImag, parent)
{
    View(true)->SetPartner(View(false));
    View(false)->SetPartner(View(true));
    for (bool left : {true, false})
        connect(View(left), &TNodeImag::NodesEdited, this, &TNodePanes::NodesEdited);
}

TNodeImag* TNodePanes::View(bool left) const { return static_cast<TNodeImag*>(PictView(left)); }

void TNodePanes::TakePicture(bool left, RasterImage&& picture)
{
    View(left)->SetPicture(std::move(picture));
    // Radii are in pixels of the picture shown.
    View(left)->ComputeRadii();
}

void TNodePanes::ApplyDrawing(const NodeViewSettings& s)
{
    ApplyZoom(s.ZoomInFactor.Get(), s.ZoomOutFactor.Get(), s.ZoomQuality);
    for (bool left : {true, false}) {
        TNodeImag* view = View(left);
        TNodeDefs& nodes = view->Nodes;
        nodes.PointColor = s.PointColour;
        nodes.SelectedPointColor = s.SelectedColour;
        nodes.PointSize = s.PointSize;
        view->SetShowFlags(s.ShowPoints != 0, s.ShowRadii != 0);
    }
}

void TNodePanes::SetRadiusMode(uint8_t mode)
{
    View(true)->SetRadiusMode(mode);
    View(false)->SetRadiusMode(mode);
}

void TNodePanes::RecomputeRadii()
{
    View(true)->ComputeBothRadii();
    View(true)->update();
    View(false)->update();
}
