// The node image view driven by mouse events on two partner views: node
// pairs added and deleted, nodes picked and dragged, zooming, and what the
// view paints (markers, radius ellipses, no trace of a drag).
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>
#include <cmath>
#include <memory>
#include <set>

#include "app/gui_capture.h"
#include "view_test_support.h"
#include "node/node_warp.h"
#include "numerics/real48.h"
#include "views/node_imag.h"
#include "views/program_state.h"

namespace {

// One colour all over, so that whatever differs from it was drawn on top.
RasterImage Plain(int w, int h, uint8_t blue, uint8_t green, uint8_t red)
{
    RasterImage img;
    img.Init(w, h);
    uint8_t* p = img.Lock();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* q = p + y * img.RowBytes + 3 * x;
            q[0] = blue;
            q[1] = green;
            q[2] = red;
        }
    img.Unlock();
    return img;
}

// The panel pixel of the centre of picture pixel (i, j) when the whole
// picture is shown 1:1 inside the 14-pixel margin.
QPoint PixelAt(int i, int j) { return QPoint(14 + i, 14 + j); }

// In the cross of size 5 round its centre: 9 across in the middle row and
// column, 7 across in the rows and columns beside them.
bool InCross(int dx, int dy)
{
    const auto arm = [](int along, int across) {
        return (across == 0 && std::abs(along) <= 4) || (std::abs(across) == 1 && std::abs(along) <= 3);
    };
    return arm(dx, dy) || arm(dy, dx);
}

constexpr uint32_t kYellow = 0x0000FFFF;
constexpr uint32_t kRed = 0x000000FF;
const QRgb kBack = qRgb(90, 60, 30);  // the plain pictures' colour

}  // namespace

class TestNodeImag : public QObject {
    Q_OBJECT

    std::unique_ptr<GuiCapture> Capture;
    std::unique_ptr<TNodeImag> Left, Right;
    ToolMode Tool = ToolMode::Edit;
    double SavedRadius = 0;

    // Two partner views as a project window makes them, points shown.
    void MakePair(int w, int h)
    {
        Left = std::make_unique<TNodeImag>();
        Right = std::make_unique<TNodeImag>();
        for (TNodeImag* v : {Left.get(), Right.get()}) {
            v->SetToolSource([this] { return Tool; });
            v->Nodes.PointColor = kYellow;
            v->Nodes.SelectedPointColor = kRed;
            v->SetShowFlags(true, false);
            v->SetPicture(Plain(w, h, 30, 60, 90));
            v->Refresh();
            v->show();
            QVERIFY(QTest::qWaitForWindowExposed(v));
        }
        Left->SetPartner(Right.get());
        Right->SetPartner(Left.get());
    }

    QImage Shot(TNodeImag& v) { return v.grab().toImage().convertToFormat(QImage::Format_RGB32); }

private slots:
    void init()
    {
        Capture = std::make_unique<GuiCapture>();
        Tool = ToolMode::Edit;
        RedrawSuspended = false;
        SavedRadius = NodeRadius;
    }
    void cleanup()
    {
        Left.reset();
        Right.reset();
        Capture.reset();
        NodeRadius = SavedRadius;
    }

    void ellipsesVisitEachPixelOfTheCurveOnce()
    {
        for (auto [a, b] : {std::pair{1, 1}, {20, 5}, {5, 20}, {120, 80}, {3, 300}, {894, 894}}) {
            const QPoint c(1000, 1000);
            std::vector<QPoint> pixels;
            EllipsePixels(c, a, b, QRect(0, 0, 2001, 2001), pixels);
            std::set<std::pair<int, int>> seen;
            for (QPoint p : pixels) {
                const int x = p.x() - c.x(), y = p.y() - c.y();
                QVERIFY2(seen.insert({x, y}).second, "a pixel plotted twice");
                // Within a pixel of the true curve, measured along its normal.
                const double f = double(x) * x / (double(a) * a) + double(y) * y / (double(b) * b) - 1;
                const double grad = 2 * std::hypot(x / (double(a) * a), y / (double(b) * b));
                QVERIFY2(std::abs(f) / grad <= 1.0, qPrintable(QString("(%1, %2)").arg(x).arg(y)));
            }
            for (auto [x, y] : seen)
                QVERIFY(seen.count({-x, y}) && seen.count({x, -y}));
            for (auto apex : {std::pair{a, 0}, {-a, 0}, {0, b}, {0, -b}})
                QVERIFY(seen.count(apex));
            // Above the limit nothing is drawn.
            std::vector<QPoint> none;
            EllipsePixels(c, a + kLargestEllipseRadius, b, QRect(0, 0, 9999, 9999), none);
            QVERIFY(none.empty());
        }
    }

    void editClicksDoNothingWithPointsAndRadiiHidden()
    {
        TNodeImag fresh;  // a light grey placeholder until a picture comes
        QCOMPARE(fresh.size(), QSize(348, 228));
        QCOMPARE(Shot(fresh).pixel(100, 100), qRgb(207, 207, 207));
        QVERIFY(!fresh.IsChanged());
        fresh.Refresh();
        QVERIFY(fresh.IsChanged());
        MakePair(320, 200);
        QTest::mouseClick(Left.get(), Qt::RightButton, {}, PixelAt(160, 100));
        QCOMPARE(Left->Nodes.Data.Count, 1);
        for (TNodeImag* v : {Left.get(), Right.get()})
            v->SetShowFlags(false, false);
        QTest::mouseClick(Left.get(), Qt::RightButton, {}, PixelAt(60, 50));
        QTest::mousePress(Left.get(), Qt::LeftButton, {}, PixelAt(160, 100));
        QVERIFY(!Left->IsDragging());
        QTest::mouseRelease(Left.get(), Qt::LeftButton, {}, PixelAt(160, 100));
        QCOMPARE(Left->Nodes.Data.Count, 1);
        QCOMPARE(Left->Nodes.Selected, -1);
        QCOMPARE(Capture->Beeps, 1);
        // The delete tool still picks a node with nothing shown.
        Tool = ToolMode::Delete;
        Left->SetShowFlags(false, false);
        QTest::mousePress(Left.get(), Qt::LeftButton, {}, PixelAt(160, 100));
        QVERIFY(Left->IsDragging());
        QTest::mouseRelease(Left.get(), Qt::LeftButton, {}, PixelAt(160, 100));
    }

    void otherButtonsAddAPairAtTheSameSpotInBothViewsAndDeleteIt()
    {
        MakePair(320, 200);
        Right->SetPicture(Plain(160, 100, 30, 60, 90));  // half the size: same normalised spot
        Right->Refresh();
        QSignalSpy edited(Left.get(), &TNodeImag::NodesEdited);
        const QPoint at = PixelAt(200, 50);
        QTest::mouseClick(Left.get(), Qt::RightButton, {}, at);
        QCOMPARE(Capture->Beeps, 1);
        QCOMPARE(edited.count(), 1);
        // The panel point's node-space position, from the view's own mapping
        // formula: x0 + (X - 14) * (x1 - x0) / (panel width - 28).
        const double x0 = -0.5 / 319, x1 = 319.5 / 319, y0 = -0.5 / 199, y1 = 199.5 / 199;
        for (TNodeImag* v : {Left.get(), Right.get()}) {
            QCOMPARE(v->Nodes.Data.Count, 1);
            QVERIFY(std::abs(v->Nodes.Data.X[0] - (x0 + (at.x() - 14) * (x1 - x0) / 320)) < 1e-9);
            QVERIFY(std::abs(v->Nodes.Data.Y[0] - (y0 + (at.y() - 14) * (y1 - y0) / 200)) < 1e-9);
            QCOMPARE(v->Nodes.Selected, -1);
            QVERIFY(v->Nodes.Data.Modified);
            QVERIFY(v->IsModified());
            v->ClearModified();
        }
        QCOMPARE(Right->Nodes.Data.X[0], Left->Nodes.Data.X[0]);
        QCOMPARE(Shot(*Left).pixel(at), Rgb(kYellow));
        // The middle button adds too; the right view shows it at its own scale.
        QTest::mouseClick(Right.get(), Qt::MiddleButton, {}, QPoint(14 + 40, 14 + 60));
        QCOMPARE(Left->Nodes.Data.Count, 2);
        QVERIFY(std::abs(Left->Nodes.Data.X[1] * 159 - 40) < 0.51);
        QCOMPARE(Shot(*Right).pixel(14 + 40, 14 + 60), Rgb(kYellow));

        // Delete: a click 8 screen pixels away or more removes nothing, one
        // within removes the pair from both views. The window is square in
        // node space, sized by the horizontal scale: here 8 / 319 is less
        // than 6 screen pixels up or down.
        Tool = ToolMode::Delete;
        for (QPoint off : {QPoint(9, 0), QPoint(0, -6), QPoint(7, 6)}) {
            QTest::mouseClick(Left.get(), Qt::RightButton, {}, at + off);
            QCOMPARE(Right->Nodes.Data.Count, 2);
        }
        QTest::mouseClick(Left.get(), Qt::RightButton, {}, at + QPoint(7, -4));
        for (TNodeImag* v : {Left.get(), Right.get()}) {
            QCOMPARE(v->Nodes.Data.Count, 1);
            QVERIFY(std::abs(v->Nodes.Data.X[0] * 319 - 80) < 1);
        }
        QCOMPARE(edited.count(), 2);
        QVERIFY(Right->IsModified());
        QCOMPARE(Shot(*Left).pixel(at), kBack);
    }

    void aLeftPressSelectsInBothViewsAndADragStopsInsideThePicture()
    {
        MakePair(320, 200);
        for (TNodeImag* v : {Left.get(), Right.get()})
            v->SetRadiusMode(1);
        QTest::mouseClick(Left.get(), Qt::RightButton, {}, PixelAt(160, 100));
        QTest::mouseClick(Left.get(), Qt::RightButton, {}, PixelAt(100, 40));
        const std::vector<double> partnerX = Right->Nodes.Data.X, partnerY = Right->Nodes.Data.Y;
        // Nine pixels off misses, seven off hits; vertically the horizontal
        // scale counts (8 / 319 is just under 5 pixels of 1 / 199).
        QTest::mousePress(Left.get(), Qt::LeftButton, {}, PixelAt(169, 100));
        QVERIFY(!Left->IsDragging());
        QTest::mouseRelease(Left.get(), Qt::LeftButton, {}, PixelAt(169, 100));
        QTest::mousePress(Left.get(), Qt::LeftButton, {}, PixelAt(160, 107));
        QVERIFY(!Left->IsDragging());
        QTest::mouseRelease(Left.get(), Qt::LeftButton, {}, PixelAt(160, 107));
        // A click on a node selects it and changes nothing else.
        Left->ClearModified();
        Right->ClearModified();
        QSignalSpy edited(Left.get(), &TNodeImag::NodesEdited);
        QTest::mouseClick(Left.get(), Qt::LeftButton, {}, PixelAt(100, 40));
        QCOMPARE(Right->Nodes.Selected, 1);
        QVERIFY(!Left->IsModified() && !Right->IsModified());
        QCOMPARE(edited.count(), 0);
        QTest::mousePress(Left.get(), Qt::LeftButton, {}, PixelAt(167, 104));
        QVERIFY(Left->IsDragging());
        QCOMPARE(Left->Nodes.Selected, 0);
        QCOMPARE(Right->Nodes.Selected, 0);
        QTest::mouseMove(Left.get(), QPoint(-50, 300));
        QCOMPARE(QCursor::pos(), Left->mapToGlobal(QPoint(14, Left->height() - 14)));
        QCOMPARE(Right->Nodes.Data.X, partnerX);  // not touched while dragging
        QTest::mouseRelease(Left.get(), Qt::LeftButton, {}, QPoint(-50, 300));
        QVERIFY(!Left->IsDragging());
        QCOMPARE(edited.count(), 1);
        QVERIFY(Right->IsModified());
        QCOMPARE(Left->Nodes.Data.X[0], RoundReal48(0.01 / 320));
        QCOMPARE(Left->Nodes.Data.Y[0], RoundReal48(1 - 0.01 / 200));
        QCOMPARE(Right->Nodes.Data.X, partnerX);
        QCOMPARE(Right->Nodes.Data.Y, partnerY);
        // The radii of both views follow: the distance to the other node in pixels.
        for (TNodeImag* v : {Left.get(), Right.get()}) {
            const TNodeDefsData& d = v->Nodes.Data;
            const double r = std::hypot((d.X[0] - d.X[1]) * 320, (d.Y[0] - d.Y[1]) * 200);
            QVERIFY(std::abs(d.Radii[0] - r) < 1e-6 * r);
            QVERIFY(std::abs(d.Radii[1] - r) < 1e-6 * r);
        }
        // The other corner.
        QTest::mousePress(Left.get(), Qt::LeftButton, {}, PixelAt(100, 40));
        QCOMPARE(Right->Nodes.Selected, 1);
        QTest::mouseMove(Left.get(), QPoint(900, -20));
        QTest::mouseRelease(Left.get(), Qt::LeftButton, {}, QPoint(900, -20));
        QCOMPARE(Left->Nodes.Data.X[1], RoundReal48(1 - 0.01 / 320));
        QCOMPARE(Left->Nodes.Data.Y[1], RoundReal48(0.01 / 200));
    }

    void markersAreCrossesOfTheirSizeAndRadiiEllipsesBelowTheLimit()
    {
        MakePair(1000, 200);
        for (TNodeImag* v : {Left.get(), Right.get()})
            v->SetRadiusMode(0);
        QTest::mouseClick(Left.get(), Qt::RightButton, {}, PixelAt(300, 100));
        // On the first column inside the margin (the margin itself takes no clicks).
        QTest::mouseClick(Left.get(), Qt::RightButton, {}, PixelAt(1, 100));
        QTest::mouseClick(Left.get(), Qt::LeftButton, {}, PixelAt(1, 100));  // selects node 1
        QImage shot = Shot(*Left);
        for (int dy = -6; dy <= 6; ++dy)
            for (int dx = -6; dx <= 6; ++dx) {
                const QPoint p = PixelAt(300, 100) + QPoint(dx, dy);
                QCOMPARE(shot.pixel(p), InCross(dx, dy) ? Rgb(kYellow) : kBack);
            }
        // The selected one in its colour, cut at the picture's edge.
        QCOMPARE(shot.pixel(PixelAt(5, 100)), Rgb(kRed));
        QCOMPARE(shot.pixel(PixelAt(1, 96)), Rgb(kRed));
        QCOMPARE(shot.pixel(PixelAt(0, 100)), Rgb(kRed));
        QCOMPARE(shot.pixel(PixelAt(-1, 100)), shot.pixel(PixelAt(-1, 50)));

        // Radius R picture pixels is round(R / W * sx) screen pixels across,
        // sx = 999 screen pixels per unit here; 894 is drawn, 895 is not.
        Left->SetShowFlags(true, true);
        for (double radius : {896.0, 895.0}) {
            NodeRadius = radius;
            Left->ComputeBothRadii();
            Left->update();
            shot = Shot(*Left);
            const int a = int(std::nearbyint(radius / 1000 * 999));
            const QRgb expected = a <= 894 ? Rgb(kRed) : kBack;
            QCOMPARE(shot.pixel(PixelAt(1 + a, 100)), expected);
            QCOMPARE(shot.pixel(PixelAt(2 + a, 100)), kBack);
        }
        // Never without the points.
        Left->SetShowFlags(false, true);
        shot = Shot(*Left);
        QCOMPARE(shot.pixel(PixelAt(1 + 894, 100)), kBack);
        QCOMPARE(shot.pixel(PixelAt(300, 100)), kBack);
    }

    void aDragShowsTheMovingNodeAndLeavesNoTrace()
    {
        MakePair(320, 200);
        // Fixed radii of 20 picture pixels: 20 screen pixels across here.
        NodeRadius = 20;
        for (TNodeImag* v : {Left.get(), Right.get()}) {
            v->SetRadiusMode(0);
            v->SetShowFlags(true, true);
        }
        for (QPoint p : {PixelAt(160, 100), PixelAt(100, 60), PixelAt(250, 150)})
            QTest::mouseClick(Left.get(), Qt::RightButton, {}, p);
        QTest::mousePress(Left.get(), Qt::LeftButton, {}, PixelAt(160, 100));
        for (QPoint p : {PixelAt(170, 110), PixelAt(140, 80), PixelAt(200, 130)}) {
            QTest::mouseMove(Left.get(), p);
            const QImage during = Shot(*Left);
            // The moving node inverts what lies under it.
            const QRgb inverted = qRgb(255 - 90, 255 - 60, 255 - 30);
            for (QPoint on : {QPoint(-4, 0), QPoint(0, 0), QPoint(1, 1), QPoint(3, -1)})
                QCOMPARE(during.pixel(p + on), inverted);
            QCOMPARE(during.pixel(p + QPoint(0, 20)), inverted);
            QCOMPARE(during.pixel(PixelAt(160, 100)), kBack);
            QCOMPARE(during.pixel(PixelAt(180, 100)), kBack);
            QCOMPARE(during.pixel(PixelAt(163, 100)), kBack);
            // What the window shows after the partial repaint is what a full
            // repaint shows.
            QCoreApplication::processEvents();
            const QImage shown = Left->screen()->grabWindow(Left->winId()).toImage();
            QCOMPARE(shown.convertToFormat(QImage::Format_RGB32), during);
        }
        QTest::mouseRelease(Left.get(), Qt::LeftButton, {}, PixelAt(200, 130));
        TNodeImag same;
        same.SetPicture(Plain(320, 200, 30, 60, 90));
        same.Refresh();
        same.Nodes.PointColor = kYellow;
        same.Nodes.SelectedPointColor = kRed;
        same.SetShowFlags(true, true);
        same.Nodes.Data = Left->Nodes.Data;
        same.Nodes.Selected = 0;
        same.SetRadiusMode(0);
        same.ComputeRadii();
        QCOMPARE(Shot(*Left), Shot(same));
        QCOMPARE(Shot(*Left).pixel(PixelAt(200, 130) + QPoint(4, 0)), Rgb(kRed));
    }

    void zoomClicksAndBandsStopAtSixPixels()
    {
        MakePair(320, 200);
        Tool = ToolMode::ZoomIn;
        // A click at the centre halves the spans round it.
        QTest::mouseClick(Left.get(), Qt::LeftButton, {}, PixelAt(160, 100));
        ViewRegion r = Left->GetRegion();
        QVERIFY(std::abs(2 * (r.Right - r.Left) - 319) <= 1 && std::abs(2 * (r.Bottom - r.Top) - 199) <= 1);
        QVERIFY(std::abs(r.Left + r.Right - 319) <= 1 && std::abs(r.Top + r.Bottom - 199) <= 1);
        // Six pixels visible across (right - left = 5): no further zoom; seven do.
        QVERIFY(Left->SetRegion(ViewRegion{10, 10, 15, 60}));
        QTest::mouseClick(Left.get(), Qt::LeftButton, {}, PixelAt(160, 100));
        QCOMPARE(Left->GetRegion(), (ViewRegion{10, 10, 15, 60}));
        QVERIFY(Left->SetRegion(ViewRegion{10, 10, 16, 60}));
        QTest::mouseClick(Left.get(), Qt::LeftButton, {}, PixelAt(160, 100));
        QVERIFY(Left->GetRegion().Right - Left->GetRegion().Left < 6);

        // Bands, on a view twice the picture's size (half a picture pixel per
        // panel pixel): from 4 panel pixels of motion a band is shown.
        Tool = ToolMode::ZoomAll;
        QTest::mouseClick(Left.get(), Qt::LeftButton, {}, PixelAt(160, 100));
        Left->resize(2 * 320 + 28, 2 * 200 + 28);
        Tool = ToolMode::ZoomIn;
        QTest::mousePress(Left.get(), Qt::LeftButton, {}, QPoint(21, 21));
        QTest::mouseMove(Left.get(), QPoint(24, 21));
        QVERIFY(!Left->IsBandShown());
        QTest::mouseMove(Left.get(), QPoint(25, 21));
        QVERIFY(Left->IsBandShown());
        // Columns 21 .. 31 are picture pixels 3 .. 8: 5 wide.
        QTest::mouseMove(Left.get(), QPoint(31, 101));
        QTest::mouseRelease(Left.get(), Qt::LeftButton, {}, QPoint(31, 101));
        QCOMPARE(Left->GetRegion(), (ViewRegion{0, 0, 319, 199}));
        QTest::mousePress(Left.get(), Qt::LeftButton, {}, QPoint(21, 21));
        QTest::mouseMove(Left.get(), QPoint(101, 33));  // 40 wide, 6 high
        QTest::mouseRelease(Left.get(), Qt::LeftButton, {}, QPoint(101, 33));
        // Heightened to the picture's proportions: (right - left) * H / W.
        QCOMPARE(Left->GetRegion(), (ViewRegion{3, 3, 43, int(3 + std::nearbyint(40.0 * 200 / 320))}));
    }

    void hoveringShowsThePixelAndThePointerOfTheTool()
    {
        MakePair(320, 200);
        QSignalSpy status(Left.get(), &TPictImag::StatusText);
        HoverTo(*Left, PixelAt(10, 20));
        QCOMPARE(status.last().at(0).toString(), QString::asprintf("Pixel: (%d, %d)", 10, 20));
        const Qt::CursorShape shapes[] = {Qt::CrossCursor, Qt::SizeAllCursor, Qt::PointingHandCursor,
                                          Qt::OpenHandCursor};
        const int slotOf[] = {1, 6, 7, 8};
        for (int k = 0; k < 4; ++k)
            SetCursorSlot(slotOf[k], QCursor(shapes[k]));
        // Edit and delete share slot 1; zoom in, zoom all and hand have their own.
        const int expected[] = {0, 0, 1, 2, 3};
        for (int tool = 0; tool <= 4; ++tool) {
            Tool = ToolModeOf(tool);
            HoverTo(*Left, PixelAt(100, 100));
            QCOMPARE(Left->cursor().shape(), shapes[expected[tool]]);
            HoverTo(*Left, QPoint(Left->width() - 14, 100));  // the margin starts here
            QCOMPARE(Left->cursor().shape(), Qt::ArrowCursor);
        }
        QCOMPARE(status.count(), 6);  // none from the margin
        for (int slot : slotOf)
            SetCursorSlot(slot, QCursor(Qt::ArrowCursor));
    }
};

QTEST_MAIN(TestNodeImag)
#include "tst_node_imag.moc"
