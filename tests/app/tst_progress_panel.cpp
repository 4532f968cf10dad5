// The progress panel of the status bar: where the bar and the text go, what
// it paints, and how BeginProgress / SetProgress / EndProgress drive it.
#include <QApplication>
#include <QtTest>
#include <memory>

#include "app/main_morf_form.h"
#include "app/progress_panel.h"
#include "app/gui_capture.h"
#include "images/progress.h"

class TestProgressPanel : public QObject {
    Q_OBJECT

private slots:
    void geometryRoundsHalvesToEven()
    {
        struct Case {
            int Left, Right, Percent, BarRight, TextLeft;
        };
        const Case cases[] = {
            {200, 250, 37, 218, 225},  // 218.5 rounds down to even
            {200, 250, 39, 220, 225},  // 219.5 rounds up to even
            {0, 50, 0, 0, 25},
            {0, 50, 100, 50, 25},
            {0, 30, 5, 2, 15},         // 1.5 exactly: a double product would give 1
            {0, 10, 25, 2, 5},
            {0, 10, 35, 4, 5},
            {0, 51, 50, 26, 25},       // 25.5 to even; 51 div 2 = 25
            {10, 61, 3, 12, 35},       // 1.53
        };
        for (const Case& c : cases) {
            const ProgressGeometry g = ProgressPanelGeometry(c.Left, c.Right, c.Percent);
            QCOMPARE(g.BarRight, c.BarRight);
            QCOMPARE(g.TextLeft, c.TextLeft);
        }
    }

    void paintedPanelShowsBlueBarAndYellowText()
    {
        ProgressDisplay* previous = SetProgressDisplay(nullptr);
        TProgressPanel panel;
        panel.resize(50, 20);
        BeginProgress();
        SetProgress(37);
        const QImage image = panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
        EndProgress();
        SetProgressDisplay(previous);

        QCOMPARE(image.width(), 50);
        const QRgb blue = qRgb(0, 0, 255);
        // Text edges are smoothed: anything clearly yellow counts.
        const auto yellowish = [](QRgb p) { return qRed(p) > 150 && qGreen(p) > 150 && qBlue(p) < 110; };
        // The bar covers columns 0..17 from top to bottom; column 18 is free.
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < 18; ++x)
                QCOMPARE(image.pixel(x, y), blue);
            QVERIFY(image.pixel(18, y) != blue);
        }
        // The text starts at column 25 and nowhere left of it.
        int firstYellow = -1, topYellow = -1;
        for (int x = 0; x < image.width() && firstYellow < 0; ++x)
            for (int y = 0; y < image.height(); ++y)
                if (yellowish(image.pixel(x, y))) {
                    firstYellow = x;
                    break;
                }
        for (int y = 0; y < image.height() && topYellow < 0; ++y)
            for (int x = 0; x < image.width(); ++x)
                if (yellowish(image.pixel(x, y))) {
                    topYellow = y;
                    break;
                }
        QVERIFY2(firstYellow >= 25 && firstYellow <= 27, qPrintable(QString::number(firstYellow)));
        QVERIFY2(topYellow >= 0 && topYellow < image.height() / 2, qPrintable(QString::number(topYellow)));
        QVERIFY(panel.LastPaintedPercent() == 37);

        // Inactive: nothing of the progress is painted.
        const QImage idle = panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < idle.height(); ++y)
            for (int x = 0; x < idle.width(); ++x)
                QVERIFY(idle.pixel(x, y) != blue && !yellowish(idle.pixel(x, y)));
        QCOMPARE(panel.LastPaintedPercent(), -1);
    }

    void progressRoutinesDriveTheMainWindow()
    {
        GuiCapture capture;
        TMainMorfForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        TProgressPanel* panel = form.ProgressPanel();

        BeginProgress();
        QVERIFY(!form.isEnabled());
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QCOMPARE(panel->LastPaintedPercent(), 0);
        QCoreApplication::processEvents();
        const int paints = panel->ProgressPaints();

        SetProgress(3);  // less than 5 from the last shown: nothing new
        QCOMPARE(panel->ProgressPaints(), paints);
        panel->repaint();
        QCOMPARE(panel->LastPaintedPercent(), 0);

        SetProgress(5);
        QVERIFY(panel->ProgressPaints() > paints);
        QCOMPARE(panel->LastPaintedPercent(), 5);

        SetProgress(98);
        QCOMPARE(panel->LastPaintedPercent(), 98);
        const int before100 = panel->ProgressPaints();
        SetProgress(100);  // always shown
        QVERIFY(panel->ProgressPaints() > before100);
        QCOMPARE(panel->LastPaintedPercent(), 100);
        SetProgress(100);
        QCOMPARE(panel->LastPaintedPercent(), 100);

        EndProgress();
        QVERIFY(form.isEnabled());
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(panel->LastPaintedPercent(), -1);
    }
};

QTEST_MAIN(TestProgressPanel)
#include "tst_progress_panel.moc"
