#include "views/resu_imag.h"

#include "views/program_state.h"

TResuImag::TResuImag(QWidget* parent) : TPictImag(kResultViewRules, parent)
{
    ShowPlaceholder(160, 100);
}

TResuImag::~TResuImag() = default;

void TResuImag::SetPicture(RasterImage&& picture)
{
    InstallPicture(std::move(picture));
    const RasterImage& shown = GetPicture();
    if (shown.Allocated && shown.Width() > 0 && shown.Height() > 0) {
        ResizeToPicture();
        emit PictureSized(shown.Width(), shown.Height());
    }
}

ToolMode TResuImag::FallbackTool() const
{
    switch (ResultTool) {
    case 1: return ToolMode::ZoomIn;
    case 2: return ToolMode::ZoomAll;
    case 3: return ToolMode::HandMove;
    default: return ToolMode::Edit;  // none: only the pixel read-out
    }
}
