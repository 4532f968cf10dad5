// Helpers of the picture view tests: colours as the views store them, and a
// pointer move without a button, as the mouse makes it over a view.
#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <cstdint>

// A 0x00BBGGRR colour as a screen pixel.
inline QRgb Rgb(uint32_t colour) { return qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF); }

inline void HoverTo(QWidget& view, QPoint point)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(point), QPointF(view.mapToGlobal(point)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &move);
}
