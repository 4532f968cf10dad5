// Glyphs of the main window's tool buttons, drawn in code (the two show
// toggles use the bitmaps of the Res folder instead).
#pragma once

#include <QIcon>

enum class ToolGlyph {
    NewProject, OpenProject, SaveProject, LoadStart, LoadEnd,
    Edit, ZoomIn, ZoomAll, HandMove, Delete,
    WarpLeft, MorphOne, WarpRight, Generate,
};

QIcon MakeToolGlyph(ToolGlyph glyph);

// A glyph bitmap whose bottom-left pixel colour is transparent, as button
// glyphs traditionally are.
QPixmap GlyphWithTransparency(const QImage& bitmap);
