// Program-wide values shared by the main window and the picture views: the
// current tools and the cursor slots loaded at start-up.
#pragma once

#include <QCursor>
#include <cstdint>

// Tools of the mesh and node views: 0 edit, 1 delete, 2 zoom in, 3 zoom all, 4 hand move.
extern uint8_t MeshTool;
extern uint8_t NodeTool;
// Tool of the result views: 0 none, 1 zoom in, 2 zoom all, 3 hand move.
extern uint8_t ResultTool;

// Cursor slots 1..8 (rect, arrow left, right, top, bottom, zoom in, zoom out,
// hand). A slot that was never loaded gives the default arrow.
QCursor CursorSlot(int slot);
void SetCursorSlot(int slot, const QCursor& cursor);
