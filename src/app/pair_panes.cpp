#include "app/pair_panes.h"

#include <QScrollArea>
#include <algorithm>

#include "views/pict_imag.h"

namespace {

QScrollArea* MakePane(const char* name, TPictImag* view, QWidget* parent)
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

TPairPanes::TPairPanes(TPictImag* left, TPictImag* right, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent), LeftPict(left), RightPict(right)
{
    setObjectName(QStringLiteral("Divider"));
    setHandleWidth(kDividerWidth);
    setChildrenCollapsible(false);
    LeftScrollBox = MakePane("LeftScrollBox", LeftPict, this);
    RightScrollBox = MakePane("RightScrollBox", RightPict, this);
    addWidget(LeftScrollBox);
    addWidget(RightScrollBox);
    setStretchFactor(0, 0);
    setStretchFactor(1, 1);
    for (TPictImag* view : {LeftPict, RightPict})
        connect(view, &TPictImag::StatusText, this, &TPairPanes::StatusText);
}

void TPairPanes::ShowPicture(bool left, RasterImage&& picture, const int32_t* r)
{
    if (!picture.Allocated)
        return;
    TPictImag* view = PictView(left);
    const bool fit = view->IsAligned();
    const QSize keep = view->size();
    TakePicture(left, std::move(picture));
    if (r)
        view->SetRegion(ViewRegion{r[1], r[0], r[3], r[2]});
    if (fit)
        view->resize(keep);
    view->RefreshView();
    (left ? LeftShown : RightShown) = true;
}

void TPairPanes::ApplyLayout(const PaneLayout& s, bool resizeLeft, bool resizeRight)
{
    for (bool left : {true, false}) {
        TPictImag* view = PictView(left);
        const int32_t margin = 2 * view->Rules().Margin;
        const bool fit = left ? s.FitLeft : s.FitRight;
        view->SetAligned(fit);
        Pane(left)->setWidgetResizable(fit);
        if (!fit && (left ? resizeLeft : resizeRight)) {
            // The record is untrusted: keep the views of a sensible size.
            const int32_t w = std::clamp(left ? s.LeftWidth : s.RightWidth, 40, 8192);
            const int32_t h = std::clamp(left ? s.LeftHeight : s.RightHeight, 40, 8192);
            view->resize(w + margin, h + margin);
        }
    }
}

void TPairPanes::ApplyZoom(double zoomIn, double zoomOut, uint8_t quality)
{
    for (TPictImag* view : {LeftPict, RightPict}) {
        view->SetZoomInFactor(zoomIn);
        view->SetZoomOutFactor(zoomOut);
        view->SetDisplayMode(quality);
    }
}

void TPairPanes::FitLeftPane()
{
    const int total = std::max(width(), LeftPict->width() + RightPict->width() + 2 * kPaneFrame + kDividerWidth);
    const int left = LeftPict->width() + kPaneFrame;
    setSizes({left, std::max(1, total - left - kDividerWidth)});
}

void TPairPanes::StoreRegion(bool left, int32_t* r) const
{
    const ViewRegion& region = PictView(left)->GetRegion();
    r[0] = region.Top;
    r[1] = region.Left;
    r[2] = region.Bottom;
    r[3] = region.Right;
}

int TPairPanes::DividerPos() const
{
    const QList<int> s = sizes();
    return s.isEmpty() ? 0 : s.front();
}
