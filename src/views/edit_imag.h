// What the two editing views (mesh and node) share on top of the picture
// view: the changed and modified flags, picture replacement, and the
// backdrop a drag repaints over.
#pragma once

#include <QImage>

#include "views/pict_imag.h"

class TEditImag : public TPictImag {
public:
    // Frees the old picture, takes this one, shows all of it and sizes the
    // panel to it; the caller refreshes.
    void SetPicture(RasterImage&& picture)
    {
        ReplacePicture(std::move(picture));
        Changed = true;
    }
    // Rebuilds the display picture and repaints.
    void Refresh() { RefreshView(); }

    // Set by a new picture and by every refresh.
    bool IsChanged() const { return Changed; }
    // Set by every edit made in this view or its partner.
    bool IsModified() const { return Modified; }
    void ClearModified() { Changed = Modified = false; }
    bool IsMoved() const { return Moved; }

protected:
    // A view without a picture: 320 x 200 light grey.
    TEditImag(const PictViewRules& rules, QWidget* parent) : TPictImag(rules, parent) { ShowPlaceholder(320, 200); }
    // A view of the given picture and visible region (the whole picture when
    // the region does not lie inside it), panel sized to the picture.
    TEditImag(const PictViewRules& rules, RasterImage&& picture, const ViewRegion& region, QWidget* parent)
        : TPictImag(rules, parent)
    {
        StartWith(std::move(picture), region);
    }

    void Refreshed() override
    {
        Changed = true;
        Backdrop = QImage();
    }

    bool Changed = false;
    bool Modified = false;
    bool Moved = false;
    QImage Backdrop;  // the view without what a drag redraws
};
