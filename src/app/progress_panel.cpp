#include "app/progress_panel.h"

#include <QApplication>
#include <QPainter>
#include <cstdint>

namespace {
// n / 100 rounded to nearest, ties to even, in exact integer arithmetic: a
// double product such as 30 * 0.01 * 5 would turn the tie 1.5 into 1.4999...
int64_t DivideBy100Even(int64_t n)
{
    int64_t q = n / 100;
    int64_t r = n % 100;
    if (r < 0) {
        r += 100;
        --q;
    }
    if (r > 50 || (r == 50 && (q & 1)))
        ++q;
    return q;
}
}  // namespace

ProgressGeometry ProgressPanelGeometry(int left, int right, int percent)
{
    const int64_t width = static_cast<int64_t>(right) - left;
    ProgressGeometry g;
    g.BarRight = static_cast<int>(left + DivideBy100Even(width * percent));
    g.TextLeft = static_cast<int>(left + width / 2);
    return g;
}

TProgressPanel::TProgressPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Progress"));
    setFixedWidth(50);
    setAccessibleName(QStringLiteral("Progress"));
}

void TProgressPanel::paintEvent(QPaintEvent*)
{
    if (!ProgressActive()) {
        LastPercent = -1;
        return;
    }
    const int percent = ProgressPercent();
    const QRect r = rect();
    const int right = r.left() + r.width();
    const ProgressGeometry g = ProgressPanelGeometry(r.left(), right, percent);
    QPainter p(this);
    if (g.BarRight > r.left())
        p.fillRect(QRect(r.left(), r.top(), g.BarRight - r.left(), r.height()), QColor(0, 0, 255));
    p.setPen(QColor(255, 255, 0));
    p.setBackgroundMode(Qt::TransparentMode);
    p.drawText(QRect(g.TextLeft, r.top(), std::max(right - g.TextLeft, 1) + 40, r.height()),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, QString::number(percent) + QLatin1Char('%'));
    ++Paints;
    LastPercent = percent;
}

TProgressDisplay::TProgressDisplay(QWidget* window, TProgressPanel* panel) : Window(window), Panel(panel) {}

void TProgressDisplay::ProgressBegun()
{
    if (!CursorSet) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        CursorSet = true;
    }
    if (Panel)
        Panel->repaint();
    QCoreApplication::processEvents();
    if (Window)
        Window->setEnabled(false);
}

void TProgressDisplay::ProgressChanged(int)
{
    if (Panel)
        Panel->repaint();
    QCoreApplication::processEvents();
}

void TProgressDisplay::ProgressEnded()
{
    if (Panel)
        Panel->repaint();
    if (CursorSet) {
        QApplication::restoreOverrideCursor();
        CursorSet = false;
    }
    if (Window)
        Window->setEnabled(true);
    QCoreApplication::processEvents();
}
