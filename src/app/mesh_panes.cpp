#include "app/mesh_panes.h"

#include "views/mesh_imag.h"

TMeshPanes::TMeshPanes(QWidget* parent) : TPairPanes(new TMeshImag, new TMeshImag, parent)
{
    View(true)->SetPartner(View(false));
    View(false)->SetPartner(View(true));
    for (bool left : {true, false})
        connect(View(left), &TMeshImag::MeshEdited, this, &TMeshPanes::MeshEdited);
}

TMeshImag* TMeshPanes::View(bool left) const { return static_cast<TMeshImag*>(PictView(left)); }

void TMeshPanes::TakePicture(bool left, RasterImage&& picture) { View(left)->SetPicture(std::move(picture)); }

void TMeshPanes::ApplyDrawing(const MeshViewSettings& s)
{
    ApplyZoom(s.ZoomInFactor.Get(), s.ZoomOutFactor.Get(), s.ZoomQuality);
    for (bool left : {true, false}) {
        TMeshImag* view = View(left);
        TMeshDefs& mesh = view->Mesh;
        mesh.ShowLines = s.ShowLines != 0;
        mesh.ShowSplines = s.ShowSplines != 0;
        mesh.LineColor = s.LineColour;
        mesh.SplineColor = s.SplineColour;
        mesh.PointColor = s.PointColour;
        mesh.SegmentCount = s.SplineSegments;
        mesh.PointSize = s.PointSize;
        view->update();
    }
}
