#include "app/tool_glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

namespace {
constexpr int kSize = 20;

void Page(QPainter& p)
{
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({{4, 1}, {12, 1}, {16, 5}, {16, 18}, {4, 18}}));
    p.drawPolyline(QPolygonF({{12, 1}, {12, 5}, {16, 5}}));
}

void Picture(QPainter& p, const QRectF& r)
{
    p.setPen(Qt::black);
    p.setBrush(QColor(120, 170, 230));
    p.drawRect(r);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 150, 40));
    p.drawEllipse(QRectF(r.left() - 2, r.center().y(), r.width() * 0.8, r.height()));
    p.setBrush(QColor(250, 220, 40));
    p.drawEllipse(QPointF(r.right() - 3, r.top() + 3), 1.6, 1.6);
}

void Magnifier(QPainter& p, bool plus)
{
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 8), 5.5, 5.5);
    p.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12.5, 12.5), QPointF(18, 18));
    p.setPen(QPen(Qt::black, 1.5));
    p.drawLine(QPointF(5, 8), QPointF(11, 8));
    if (plus)
        p.drawLine(QPointF(8, 5), QPointF(8, 11));
}

void Arrow(QPainter& p, QPointF from, QPointF to, QColor colour)
{
    p.setPen(QPen(colour, 2));
    p.drawLine(from, to);
    const QPointF d = (to - from) / std::max(1.0, std::hypot(to.x() - from.x(), to.y() - from.y()));
    const QPointF n(-d.y(), d.x());
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(QPolygonF({to + d * 2, to - d * 3 + n * 3, to - d * 3 - n * 3}));
}
}  // namespace

QIcon MakeToolGlyph(ToolGlyph glyph)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (glyph) {
    case ToolGlyph::NewProject:
        Page(p);
        break;
    case ToolGlyph::OpenProject:
        p.setPen(Qt::black);
        p.setBrush(QColor(230, 190, 60));
        p.drawPolygon(QPolygonF({{1, 5}, {7, 5}, {9, 7}, {17, 7}, {17, 17}, {1, 17}}));
        p.setBrush(QColor(250, 220, 110));
        p.drawPolygon(QPolygonF({{3, 10}, {19, 10}, {17, 17}, {1, 17}}));
        break;
    case ToolGlyph::SaveProject:
        p.setPen(Qt::black);
        p.setBrush(QColor(50, 80, 170));
        p.drawRect(QRectF(2, 2, 16, 16));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5, 2, 10, 6));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(5, 12, 10, 6));
        break;
    case ToolGlyph::LoadStart:
    case ToolGlyph::LoadEnd: {
        const bool start = glyph == ToolGlyph::LoadStart;
        Picture(p, QRectF(start ? 1.5 : 6.5, 6.5, 12, 11));
        Arrow(p, QPointF(start ? 7 : 13, 0), QPointF(start ? 7 : 13, 5), QColor(200, 0, 0));
        break;
    }
    case ToolGlyph::Edit:
        p.setPen(Qt::black);
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({{5, 2}, {5, 16}, {8.5, 12.5}, {11, 18}, {13, 17}, {10.5, 11.5}, {15, 11.5}}));
        break;
    case ToolGlyph::ZoomIn:
        Magnifier(p, true);
        break;
    case ToolGlyph::ZoomAll: {
        QFont font = p.font();
        font.setPixelSize(9);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawRect(QRectF(0.5, 3.5, 19, 13));
        p.drawText(QRectF(0, 3, 20, 14), Qt::AlignCenter, QStringLiteral("1:1"));
        break;
    }
    case ToolGlyph::HandMove: {
        p.setPen(Qt::black);
        p.setBrush(QColor(250, 215, 170));
        for (int k = 0; k < 4; ++k)
            p.drawRoundedRect(QRectF(5 + 3 * k, 2 + (k == 0 || k == 3 ? 2 : 0), 3, 10), 1.5, 1.5);
        p.drawRoundedRect(QRectF(5, 8, 12, 10), 3, 3);
        p.drawRoundedRect(QRectF(1, 8, 5, 3), 1.5, 1.5);
        break;
    }
    case ToolGlyph::Delete:
        p.setPen(QPen(QColor(200, 0, 0), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(16, 16));
        p.drawLine(QPointF(16, 4), QPointF(4, 16));
        break;
    case ToolGlyph::WarpLeft:
    case ToolGlyph::WarpRight: {
        const bool left = glyph == ToolGlyph::WarpLeft;
        p.setPen(Qt::black);
        p.setBrush(left ? QColor(120, 170, 230) : QColor(230, 140, 120));
        QPainterPath path;
        path.moveTo(3, 3);
        path.cubicTo(8, 6, 12, 0, 17, 3);
        path.lineTo(17, 17);
        path.cubicTo(12, 14, 8, 20, 3, 17);
        path.closeSubpath();
        p.drawPath(path);
        p.setPen(QPen(Qt::black, 1));
        QFont font = p.font();
        font.setPixelSize(9);
        font.setBold(true);
        p.setFont(font);
        p.drawText(QRectF(3, 3, 14, 14), Qt::AlignCenter, left ? QStringLiteral("L") : QStringLiteral("R"));
        break;
    }
    case ToolGlyph::MorphOne:
        p.setPen(Qt::black);
        p.setBrush(QColor(120, 170, 230));
        p.drawRect(QRectF(1.5, 5.5, 7, 7));
        p.setBrush(QColor(230, 140, 120));
        p.drawEllipse(QRectF(11.5, 5.5, 7, 7));
        Arrow(p, QPointF(5, 16), QPointF(15, 16), QColor(0, 120, 0));
        break;
    case ToolGlyph::Generate:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 40, 40));
        p.drawRect(QRectF(1, 3, 18, 14));
        p.setBrush(Qt::white);
        for (int k = 0; k < 5; ++k) {
            p.drawRect(QRectF(2 + 3.5 * k, 4, 2, 2));
            p.drawRect(QRectF(2 + 3.5 * k, 14, 2, 2));
        }
        p.setBrush(QColor(120, 170, 230));
        p.drawRect(QRectF(3, 7, 6, 6));
        p.setBrush(QColor(230, 140, 120));
        p.drawRect(QRectF(11, 7, 6, 6));
        break;
    }
    p.end();
    return QIcon(pixmap);
}

QPixmap GlyphWithTransparency(const QImage& bitmap)
{
    if (bitmap.isNull())
        return QPixmap();
    QImage image = bitmap.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = image.pixel(0, image.height() - 1) & 0xFFFFFF;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0xFFFFFF) == key)
                line[x] = 0;
    }
    return QPixmap::fromImage(image);
}
