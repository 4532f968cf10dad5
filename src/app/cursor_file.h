// Windows cursor files (.cur) decoded into Qt cursors. The decoder treats the
// file as untrusted: every size is checked against the bytes present, and
// anything it does not understand is a refusal, never a crash.
#pragma once

#include <QByteArray>
#include <QCursor>
#include <QImage>
#include <QPoint>
#include <QString>
#include <optional>

struct CursorPicture {
    QImage Image;      // ARGB32, transparent where the AND mask says so
    QPoint HotSpot;    // inside the image
};

// Decodes the first image of a cursor file: 1, 4 and 8 bits with palette,
// 24 and 32 bits, or an embedded PNG. nullopt for anything else.
std::optional<CursorPicture> DecodeCursorFile(const QByteArray& bytes);

// Loads a cursor file; false (cursor untouched) when missing or unreadable.
bool LoadCursorFile(const QString& fileName, QCursor& cursor);
