// The mesh image view driven by mouse events on two partner views: grid rows
// inserted and deleted from the margins, nodes dragged, zooming, and what the
// view paints.
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>
#include <cmath>
#include <memory>

#include "app/gui_capture.h"
#include "view_test_support.h"
#include "views/mesh_imag.h"

namespace {

// Blue = column (mod 256), green = row counted from the top, red = 9.
RasterImage Gradient(int w, int h)
{
    RasterImage img;
    img.Init(w, h);
    uint8_t* p = img.Lock();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* q = p + (h - 1 - y) * img.RowBytes + 3 * x;
            q[0] = static_cast<uint8_t>(x);
            q[1] = static_cast<uint8_t>(y);
            q[2] = 9;
        }
    img.Unlock();
    return img;
}

// cols x rows nodes on the regular grid.
void SetGrid(TMeshDefs& mesh, int cols, int rows)
{
    *mesh.Data = TMeshDefsData(cols, rows);
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < cols; ++i)
            mesh.Data->SetNode(i, j, {double(i) / (cols - 1), double(j) / (rows - 1)}, false);
}

// The panel point of a world point in a view showing the whole W x H picture
// at 1:1 inside its 14-pixel margin: pixel k is at world k / (W - 1).
QPoint At(double u, double v, int w, int h)
{
    return QPoint(int(std::nearbyint(14 + 0.5 + u * (w - 1))), int(std::nearbyint(14 + 0.5 + v * (h - 1))));
}

constexpr uint32_t kGreen = 0x0000FF00;
constexpr uint32_t kMagenta = 0x00FF00FF;

}  // namespace

class TestMeshImag : public QObject {
    Q_OBJECT

    std::unique_ptr<GuiCapture> Capture;
    std::unique_ptr<TMeshImag> Left, Right;
    ToolMode Tool = ToolMode::Edit;

    // Two partner views as a project window makes them, the meshes shown as lines.
    void MakePair(RasterImage&& left, RasterImage&& right)
    {
        Left = std::make_unique<TMeshImag>();
        Right = std::make_unique<TMeshImag>();
        for (TMeshImag* v : {Left.get(), Right.get()}) {
            v->SetToolSource([this] { return Tool; });
            v->Mesh.ShowLines = true;
            v->Mesh.LineColor = kGreen;
            v->Mesh.PointColor = kMagenta;
            v->Mesh.SegmentCount = 10;
        }
        Left->SetPartner(Right.get());
        Right->SetPartner(Left.get());
        if (left.Allocated) {
            Left->SetPicture(std::move(left));
            Right->SetPicture(std::move(right));
        }
        for (TMeshImag* v : {Left.get(), Right.get()}) {
            v->Refresh();
            v->show();
            QVERIFY(QTest::qWaitForWindowExposed(v));
        }
    }

private slots:
    void init()
    {
        Capture = std::make_unique<GuiCapture>();
        Tool = ToolMode::Edit;
        RedrawSuspended = false;
    }
    void cleanup()
    {
        Left.reset();
        Right.reset();
        Capture.reset();
    }

    void freshViewIsTheGreyPlaceholderWithTheFrameMesh()
    {
        TMeshImag view;
        QCOMPARE(view.size(), QSize(348, 228));
        QCOMPARE(view.GetRegion(), (ViewRegion{0, 0, 319, 199}));
        QCOMPARE(view.Mesh.Data->Cols * view.Mesh.Data->Rows, 4);
        QVERIFY(!view.IsChanged());
        QCOMPARE(view.GetDisplay().Width(), 320);
        view.SetPicture(Gradient(100, 60));
        QCOMPARE(view.size(), QSize(128, 88));
        QVERIFY(view.IsChanged());
        // A view made for an opened project takes its region, when it fits.
        TMeshImag opened(Gradient(100, 60), ViewRegion{10, 5, 59, 34});
        QCOMPARE(opened.GetRegion(), (ViewRegion{10, 5, 59, 34}));
        QCOMPARE(opened.GetDisplay().Width(), 100);
        TMeshImag outside(Gradient(100, 60), ViewRegion{10, 5, 100, 34});
        QCOMPARE(outside.GetRegion(), (ViewRegion{0, 0, 99, 59}));
    }

    void marginClicksInsertAndDeleteRowsInBothMeshes()
    {
        // 203 rows: the panel row 65 lies on world y = (65 - 14.5) / 202 = 0.25.
        MakePair(Gradient(321, 203), Gradient(321, 203));
        QSignalSpy edited(Left.get(), &TMeshImag::MeshEdited);
        QTest::mouseClick(Left.get(), Qt::LeftButton, {}, QPoint(7, 65));  // left button: nothing
        QCOMPARE(Left->Mesh.Data->Rows, 2);
        QTest::mouseClick(Left.get(), Qt::RightButton, {}, QPoint(7, 65));
        QCOMPARE(Capture->Beeps, 1);
        QCOMPARE(edited.count(), 1);
        for (TMeshImag* v : {Left.get(), Right.get()}) {
            const TMeshDefsData& m = *v->Mesh.Data;
            QCOMPARE(m.Rows, 3);
            QVERIFY(std::abs(m.GetNode(0, 1).Y - 0.25) < 1e-9);
            QCOMPARE(m.GetNode(1, 1).Y, m.GetNode(0, 1).Y);
            QCOMPARE(m.GetNode(1, 1).X, 1.0);
            QVERIFY(v->IsModified());
        }
        // The same height again is on the new row: refused.
        QTest::mouseClick(Right.get(), Qt::RightButton, {}, QPoint(Right->width() - 5, 65));
        QCOMPARE(Left->Mesh.Data->Rows, 3);
        QCOMPARE(Capture->Beeps, 1);
        // A column from the bottom margin of the right view.
        QTest::mouseClick(Right.get(), Qt::RightButton, {}, QPoint(14 + 80, Right->height() - 4));
        QCOMPARE(Left->Mesh.Data->Cols, 3);
        QVERIFY(std::abs(Left->Mesh.Data->GetNode(1, 2).X - 79.5 / 320) < 1e-9);

        // Delete: border rows stay, the row near the click goes from both.
        Tool = ToolMode::Delete;
        Left->Mesh.SelCol = Right->Mesh.SelCol = 1;
        Left->Mesh.SelRow = Right->Mesh.SelRow = 1;
        QTest::mouseClick(Left.get(), Qt::RightButton, {}, QPoint(7, 18));
        QCOMPARE(Left->Mesh.Data->Rows, 3);
        QTest::mouseClick(Left.get(), Qt::RightButton, {}, QPoint(7, 65 + 3));
        for (TMeshImag* v : {Left.get(), Right.get()}) {
            QCOMPARE(v->Mesh.Data->Rows, 2);
            QCOMPARE(v->Mesh.SelCol, -1);
            QCOMPARE(v->Mesh.SelRow, -1);
        }
        QCOMPARE(Capture->Beeps, 3);
        QVERIFY(Capture->Messages.empty());
        // A corner is in no margin of its own.
        Tool = ToolMode::Edit;
        QTest::mouseClick(Left.get(), Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(Left->Mesh.Data->Cols * Left->Mesh.Data->Rows, 6);
    }

    void aDraggedNodeStopsAtItsNeighboursAndThePointerStaysInside()
    {
        MakePair(RasterImage(), RasterImage());  // the 320 x 200 placeholders
        SetGrid(Left->Mesh, 3, 3);
        SetGrid(Right->Mesh, 3, 3);
        const QPoint centre = At(0.5, 0.5, 320, 200);
        QTest::mousePress(Left.get(), Qt::LeftButton, {}, centre + QPoint(3, -2));  // within 8 pixels
        QVERIFY(Left->IsDragging());
        QCOMPARE(Right->Mesh.SelCol, 1);
        QCOMPARE(Right->Mesh.SelRow, 1);
        QTest::mouseMove(Left.get(), QPoint(-50, centre.y()));
        QCOMPARE(QCursor::pos(), Left->mapToGlobal(QPoint(14, centre.y())));
        QTest::mouseRelease(Left.get(), Qt::LeftButton, {}, QPoint(-50, centre.y()));
        QVERIFY(!Left->IsDragging());
        // Held 5e-05 right of its left neighbour; y is the pointer's.
        QCOMPARE(Left->Mesh.Data->GetNode(1, 1).X, RoundReal48(5e-05));
        QCOMPARE(Left->Mesh.Data->GetNode(1, 1).Y, 0.5);
        QCOMPARE(Right->Mesh.Data->GetNode(1, 1).X, 0.5);  // the partner's node stays
        QVERIFY(Left->IsModified());

        // A border node slides along its border.
        QTest::mousePress(Left.get(), Qt::LeftButton, {}, At(1.0, 0.5, 320, 200));
        QTest::mouseMove(Left.get(), At(0.7, 0.25, 320, 200));
        QTest::mouseRelease(Left.get(), Qt::LeftButton, {}, At(0.7, 0.25, 320, 200));
        QCOMPARE(Left->Mesh.Data->GetNode(2, 1).X, 1.0);
        QVERIFY(std::abs(Left->Mesh.Data->GetNode(2, 1).Y - 0.25) < 0.003);
    }

    void aReleaseWithoutMoveKeepsTheNodeAndTheSelection()
    {
        MakePair(RasterImage(), RasterImage());
        SetGrid(Left->Mesh, 3, 3);
        SetGrid(Right->Mesh, 3, 3);
        QSignalSpy edited(Left.get(), &TMeshImag::MeshEdited);
        const TMeshDefsData before = *Left->Mesh.Data;
        QTest::mouseClick(Left.get(), Qt::LeftButton, {}, At(1.0, 0.5, 320, 200));
        QCOMPARE(Left->Mesh.Data->X, before.X);
        QCOMPARE(Left->Mesh.Data->Y, before.Y);
        for (TMeshImag* v : {Left.get(), Right.get()}) {
            QCOMPARE(v->Mesh.SelCol, 2);
            QCOMPARE(v->Mesh.SelRow, 1);
        }
        QCOMPARE(edited.count(), 0);
        QVERIFY(!Left->IsModified());
        // A press far from every node starts nothing.
        QTest::mousePress(Left.get(), Qt::LeftButton, {}, At(0.25, 0.25, 320, 200));
        QVERIFY(!Left->IsDragging());
        QTest::mouseRelease(Left.get(), Qt::LeftButton, {}, At(0.25, 0.25, 320, 200));
    }

    void withBothShowFlagsOffTheEditToolDoesNothing()
    {
        MakePair(RasterImage(), RasterImage());
        SetGrid(Left->Mesh, 3, 3);
        SetGrid(Right->Mesh, 3, 3);
        Left->Mesh.ShowLines = false;
        QTest::mousePress(Left.get(), Qt::LeftButton, {}, At(0.5, 0.5, 320, 200));
        QVERIFY(!Left->IsDragging());
        QCOMPARE(Left->Mesh.SelCol, -1);
        QTest::mouseRelease(Left.get(), Qt::LeftButton, {}, At(0.5, 0.5, 320, 200));
        QTest::mouseClick(Left.get(), Qt::RightButton, {}, QPoint(7, 60));
        QCOMPARE(Left->Mesh.Data->Rows, 3);
        QCOMPARE(Capture->Beeps, 0);
        // The delete tool still picks nodes.
        Tool = ToolMode::Delete;
        QTest::mousePress(Left.get(), Qt::LeftButton, {}, At(0.5, 0.5, 320, 200));
        QVERIFY(Left->IsDragging());
        QTest::mouseRelease(Left.get(), Qt::LeftButton, {}, At(0.5, 0.5, 320, 200));
    }

    void zoomClicksAndBandsBelowSixPixelsChangeNothing()
    {
        MakePair(Gradient(320, 200), Gradient(320, 200));
        Tool = ToolMode::ZoomIn;
        // Twice the picture's size: a panel pixel is half a picture pixel.
        Left->resize(2 * 320 + 28, 2 * 200 + 28);
        // Columns 21 .. 31 are picture pixels 3 .. 8: 5 wide, 40 high.
        QTest::mousePress(Left.get(), Qt::LeftButton, {}, QPoint(21, 21));
        QTest::mouseMove(Left.get(), QPoint(31, 101));
        QVERIFY(Left->IsBandShown());
        QTest::mouseRelease(Left.get(), Qt::LeftButton, {}, QPoint(31, 101));
        QCOMPARE(Left->GetRegion(), (ViewRegion{0, 0, 319, 199}));
        // Six wide is taken (and fitted to the picture's proportions).
        QTest::mousePress(Left.get(), Qt::LeftButton, {}, QPoint(21, 21));
        QTest::mouseMove(Left.get(), QPoint(33, 101));
        QTest::mouseRelease(Left.get(), Qt::LeftButton, {}, QPoint(33, 101));
        QCOMPARE(Left->GetRegion(), (ViewRegion{3, 3, 67, 43}));
        // A click with 5 pixels visible across changes nothing.
        QVERIFY(Left->SetRegion(ViewRegion{10, 10, 14, 60}));
        QTest::mouseClick(Left.get(), Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(Left->GetRegion(), (ViewRegion{10, 10, 14, 60}));
        // Zoom all shows everything and sizes the view to the picture again.
        Tool = ToolMode::ZoomAll;
        QTest::mouseClick(Left.get(), Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(Left->GetRegion(), (ViewRegion{0, 0, 319, 199}));
        QCOMPARE(Left->size(), QSize(348, 228));
        // The read-out names the picture pixel under the pointer.
        QSignalSpy status(Left.get(), &TPictImag::StatusText);
        HoverTo(*Left, At(0.5, 0.25, 320, 200));
        QCOMPARE(status.last().at(0).toString(), QString("Pixel: (160, 50)"));
    }

    void theMeshIsPaintedWhereItLiesAndADragLeavesNoTrace()
    {
        MakePair(RasterImage(), RasterImage());
        SetGrid(Left->Mesh, 3, 3);
        SetGrid(Right->Mesh, 3, 3);
        const QPoint centre = At(0.5, 0.5, 320, 200);  // (174, 114)
        QImage shot = Left->grab().toImage();
        const QRgb grey = qRgb(207, 207, 207);
        QCOMPARE(shot.pixel(centre.x(), 60), Rgb(kGreen));
        QCOMPARE(shot.pixel(centre.x() + 1, 60), grey);
        QCOMPARE(shot.pixel(100, centre.y()), Rgb(kGreen));
        QCOMPARE(shot.pixel(100, centre.y() - 1), grey);
        // The frames: highlight and shadow of the raised outer frame.
        QCOMPARE(shot.pixel(0, 50), Left->palette().color(QPalette::Light).rgb());
        QCOMPARE(shot.pixel(Left->width() - 1, 50), Left->palette().color(QPalette::Dark).rgb());

        // A click selects the centre node: its marker is a plus three pixels
        // thick, 9 across in the middle and 7 on the sides, end points left out.
        QTest::mouseClick(Left.get(), Qt::LeftButton, {}, centre);
        shot = Left->grab().toImage();
        const int x = centre.x(), y = centre.y();
        QCOMPARE(shot.pixel(x - 4, y), Rgb(kMagenta));
        QCOMPARE(shot.pixel(x + 4, y), Rgb(kMagenta));
        QCOMPARE(shot.pixel(x + 5, y), Rgb(kGreen));  // the row goes on
        QCOMPARE(shot.pixel(x - 3, y - 1), Rgb(kMagenta));
        QCOMPARE(shot.pixel(x + 3, y + 1), Rgb(kMagenta));
        QCOMPARE(shot.pixel(x + 4, y - 1), grey);
        QCOMPARE(shot.pixel(x - 4, y + 1), grey);
        QCOMPARE(shot.pixel(x + 1, y + 3), Rgb(kMagenta));
        QCOMPARE(shot.pixel(x + 1, y + 4), grey);
        QCOMPARE(Right->grab().toImage().pixel(x - 4, y), Rgb(kMagenta));  // selected there too

        // Drag the node about: the lines through it are inverted (green to
        // magenta) while it moves; once released, the view shows exactly what
        // a view of the final mesh shows.
        QTest::mousePress(Left.get(), Qt::LeftButton, {}, centre);
        for (QPoint p : {QPoint(190, 120), QPoint(150, 90), QPoint(210, 150)}) {
            QTest::mouseMove(Left.get(), p);
            const QImage during = Left->grab().toImage().convertToFormat(QImage::Format_RGB32);
            // What the window shows after the partial repaint of the move is
            // what a full repaint shows.
            QCoreApplication::processEvents();
            const QImage shown = Left->screen()->grabWindow(Left->winId()).toImage();
            QCOMPARE(shown.convertToFormat(QImage::Format_RGB32), during);
            for (int row : {20, 40}) {
                int inverted = 0;
                for (int col = 15; col < Left->width() - 15; ++col)
                    inverted += during.pixel(col, row) == Rgb(kMagenta);
                QCOMPARE(inverted, 1);  // the column through the node
            }
        }
        QTest::mouseRelease(Left.get(), Qt::LeftButton, {}, QPoint(210, 150));
        TMeshImag same;
        same.Mesh.ShowLines = true;
        same.Mesh.LineColor = kGreen;
        same.Mesh.PointColor = kMagenta;
        *same.Mesh.Data = *Left->Mesh.Data;
        same.Mesh.SelCol = same.Mesh.SelRow = 1;
        QCOMPARE(Left->grab().toImage(), same.grab().toImage());
    }
};

QTEST_MAIN(TestMeshImag)
#include "tst_mesh_imag.moc"
