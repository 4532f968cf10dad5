#include "images/progress.h"

#include <cstdlib>
#include <utility>

namespace {
ProgressDisplay* g_display = nullptr;
bool g_active = false;
int g_percent = 0;
}  // namespace

ProgressDisplay* SetProgressDisplay(ProgressDisplay* display)
{
    return std::exchange(g_display, display);
}

void BeginProgress()
{
    g_active = true;
    g_percent = 0;
    if (g_display)
        g_display->ProgressBegun();
}

void SetProgress(int percent)
{
    if (std::abs(static_cast<long long>(percent) - g_percent) < 5 && percent != 100)
        return;
    g_percent = percent;
    if (g_display)
        g_display->ProgressChanged(percent);
}

void EndProgress()
{
    g_active = false;
    if (g_display)
        g_display->ProgressEnded();
}

bool ProgressActive() { return g_active; }
int ProgressPercent() { return g_percent; }
