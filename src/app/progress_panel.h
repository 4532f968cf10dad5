// The progress panel of the status bar and the display that the core's
// BeginProgress / SetProgress / EndProgress drive.
#pragma once

#include <QPointer>
#include <QWidget>

#include "images/progress.h"

// Where the progress is drawn in a panel from left to right (right exclusive):
// the bar covers [left, BarRight), the text starts at TextLeft.
struct ProgressGeometry {
    int BarRight;
    int TextLeft;
};
ProgressGeometry ProgressPanelGeometry(int left, int right, int percent);

// Panel 1 of the status bar. While progress is active it paints a blue bar
// and the yellow percentage; otherwise it stays empty.
class TProgressPanel : public QWidget {
    Q_OBJECT
public:
    explicit TProgressPanel(QWidget* parent = nullptr);
    // Paints that drew the progress, and the percentage of the last one (-1
    // when the last paint found progress inactive).
    int ProgressPaints() const { return Paints; }
    int LastPaintedPercent() const { return LastPercent; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int Paints = 0;
    int LastPercent = -1;
};

// Shows the core's progress: busy cursor and disabled window while it runs,
// the panel repainted at once and pending events let through on each change.
class TProgressDisplay : public ProgressDisplay {
public:
    TProgressDisplay(QWidget* window, TProgressPanel* panel);
    void ProgressBegun() override;
    void ProgressChanged(int percent) override;
    void ProgressEnded() override;

private:
    QPointer<QWidget> Window;
    QPointer<TProgressPanel> Panel;
    bool CursorSet = false;
};
