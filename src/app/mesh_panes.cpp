#include "app/mesh_panes.h"

#include <QScrollArea>
#include <algorithm>

#include "views/mesh_imag.h"

namespace {

QScrollArea* MakePane(const char* name, TMeshImag* view, QWidget* parent)
{
    auto* pane = new QScrollArea(parent);
    pane->setObjectName(QString::fromLatin1(name));
    // A two-pixel sunken frame: the pane is 4 pixels larger than its view.
    pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pane->setLineWidth(2);
    pane->setWidget(view);
    return pane;
}

}  // namespace

TMeshPanes::TMeshPanes(QWidget* parent)
    : QSplitter(Qt::Horizontal, parent), LeftView(new TMeshImag), RightView(new TMeshImag)
{
    setObjectName(QStringLiteral("Divider"));
    setHandleWidth(kDividerWidth);
    setChildrenCollapsible(false);
    LeftScrollBox = MakePane("LeftScrollBox", LeftView, this);
    RightScrollBox = MakePane("RightScrollBox", RightView, this);
    addWidget(LeftScrollBox);
    addWidget(RightScrollBox);
    setStretchFactor(0, 0);
    setStretchFactor(1, 1);
    LeftView->SetPartner(RightView);
    RightView->SetPartner(LeftView);
    for (TMeshImag* view : {LeftView, RightView}) {
        connect(view, &TMeshImag::MeshEdited, this, &TMeshPanes::MeshEdited);
        connect(view, &TMeshImag::StatusText, this, &TMeshPanes::StatusText);
    }
}

void TMeshPanes::ShowPicture(bool left, RasterImage&& picture, const int32_t* r)
{
    if (!picture.Allocated)
        return;
    TMeshImag* view = View(left);
    const bool fit = view->IsAligned();
    const QSize keep = view->size();
    view->SetPicture(std::move(picture));
    if (r)
        view->SetRegion(ViewRegion{r[1], r[0], r[3], r[2]});
    if (fit)
        view->resize(keep);
    view->Refresh();
    (left ? LeftShown : RightShown) = true;
}

void TMeshPanes::ApplyDrawing(const MeshViewSettings& s)
{
    for (TMeshImag* view : {LeftView, RightView}) {
        TMeshDefs& mesh = view->Mesh;
        mesh.ShowLines = s.ShowLines != 0;
        mesh.ShowSplines = s.ShowSplines != 0;
        mesh.LineColor = s.LineColour;
        mesh.SplineColor = s.SplineColour;
        mesh.PointColor = s.PointColour;
        mesh.SegmentCount = s.SplineSegments;
        mesh.PointSize = s.PointSize;
        view->SetZoomInFactor(s.ZoomInFactor.Get());
        view->SetZoomOutFactor(s.ZoomOutFactor.Get());
        view->SetDisplayMode(s.ZoomQuality);
        view->update();
    }
}

void TMeshPanes::ApplyLayout(const MeshViewSettings& s, bool resizeLeft, bool resizeRight)
{
    const int32_t margin = 2 * kMeshViewRules.Margin;
    for (bool left : {true, false}) {
        TMeshImag* view = View(left);
        const bool fit = (left ? s.FitLeft : s.FitRight) != 0;
        view->SetAligned(fit);
        Pane(left)->setWidgetResizable(fit);
        if (!fit && (left ? resizeLeft : resizeRight)) {
            // The record is untrusted: keep the views of a sensible size.
            const int32_t w = std::clamp(left ? s.LeftPaneWidth : s.RightPaneWidth, 40, 8192);
            const int32_t h = std::clamp(left ? s.LeftPaneHeight : s.RightPaneHeight, 40, 8192);
            view->resize(w + margin, h + margin);
        }
    }
}

void TMeshPanes::FitLeftPane()
{
    const int total = std::max(width(), LeftView->width() + RightView->width() + 2 * kPaneFrame + kDividerWidth);
    const int left = LeftView->width() + kPaneFrame;
    setSizes({left, std::max(1, total - left - kDividerWidth)});
}

void TMeshPanes::StoreRegion(bool left, int32_t* r) const
{
    const ViewRegion& region = View(left)->GetRegion();
    r[0] = region.Top;
    r[1] = region.Left;
    r[2] = region.Bottom;
    r[3] = region.Right;
}

int TMeshPanes::DividerPos() const
{
    const QList<int> s = sizes();
    return s.isEmpty() ? 0 : s.front();
}
