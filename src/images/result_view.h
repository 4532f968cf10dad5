// What the frame and animation generators need of a result view: take over a
// finished frame and show it. The workstation's result view implements it;
// the command-line renderer and the tests use their own.
#pragma once

#include "images/raster_image.h"

class ResultView {
public:
    virtual ~ResultView() = default;
    // Takes the picture over (frees the one shown before) and shows all of it.
    virtual void SetPicture(RasterImage&& picture) = 0;
    // Renders and repaints so that the new picture is on the screen.
    virtual void RefreshView() = 0;
};
