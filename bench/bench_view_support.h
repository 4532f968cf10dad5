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
