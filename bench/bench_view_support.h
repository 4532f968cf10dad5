// Shared by the view benchmarks: mouse events sent straight to a view, and
// the main routine that runs them under a Qt application (offscreen unless a
// platform is named).
#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <benchmark/benchmark.h>
#include <cstdlib>

inline void SendMouse(QWidget& w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent e(type, QPointF(p), QPointF(w.mapToGlobal(p)), button, held, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}

// Presses the left button at `at`, then times pointer moves a few pixels
// about it, each with the repaint it asks for; releases at the end. pressed
// tells whether the press began a drag.
template <typename Pressed>
void TimeDragMoves(benchmark::State& state, QWidget& view, QPoint at, Pressed pressed)
{
    SendMouse(view, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    if (!pressed()) {
        state.SkipWithError("no node under the pointer");
        return;
    }
    QCoreApplication::processEvents();  // the first paint of the drag
    int k = 0;
    for (auto _ : state) {
        const QPoint to = at + QPoint(k % 7 - 3, k % 5 - 2);
        ++k;
        SendMouse(view, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        // The repaint the move asked for, into the window's backing store.
        QCoreApplication::processEvents();
    }
    SendMouse(view, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

inline int RunViewBenchmarks(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
