// Progress of long operations (picture loading, warps). The core keeps the
// state and the 5-percent rule; a front end installs a display that draws it.
#pragma once

class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;
    virtual void ProgressBegun() = 0;            // disable input, busy cursor, redraw
    virtual void ProgressChanged(int percent) = 0;  // redraw, let pending events run
    virtual void ProgressEnded() = 0;            // enable input, normal cursor, redraw
};

// Installs the display (not owned) and returns the previous one; null for none.
ProgressDisplay* SetProgressDisplay(ProgressDisplay* display);

void BeginProgress();
// Shows percent unless it differs by less than 5 from the last one shown;
// 100 is always shown.
void SetProgress(int percent);
void EndProgress();

bool ProgressActive();
int ProgressPercent();
