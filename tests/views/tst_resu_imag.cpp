// The result view driven by mouse events: zooming, hand moves, the pixel
// read-out, and the result windows around it.
#include <QSignalSpy>
#include <QtTest>
#include <cstring>

#include "app/mesh_resu_form.h"
#include "images/display_scale.h"
#include "views/program_state.h"
#include "views/resu_imag.h"

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

// Blue and green of the display picture at a view point (y from the top).
QPair<int, int> DisplayAt(const TResuImag& view, int x, int y)
{
    const RasterImage& d = view.GetDisplay();
    const uint8_t* q = d.Lock() + (d.Height() - 1 - y) * d.RowBytes + 3 * x;
    return {q[0], q[1]};
}

// A mouse move with no button held. QTest::mouseMove takes (0, 0) for "the
// centre" and moves the system cursor, so the event is sent directly.
void HoverTo(TResuImag& view, QPoint point)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(point), QPointF(view.mapToGlobal(point)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &move);
}

bool SameRegion(const ViewRegion& r, int l, int t, int right, int b)
{
    const bool same = r.Left == l && r.Top == t && r.Right == right && r.Bottom == b;
    if (!same)
        qWarning("region is (%d, %d, %d, %d)", r.Left, r.Top, r.Right, r.Bottom);
    return same;
}

}  // namespace

class TestResuImag : public QObject {
    Q_OBJECT

private:
    // A shown view holding a 320 x 200 gradient at zoom factors 2 and 0.5.
    std::unique_ptr<TResuImag> ShownView()
    {
        auto view = std::make_unique<TResuImag>();
        view->SetZoomInFactor(2.0);
        view->SetZoomOutFactor(0.5);
        view->SetPicture(Gradient(320, 200));
        view->RefreshView();
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get()))
            qWarning("view not exposed");
        return view;
    }

    void ZoomInAtCentre(TResuImag& view)
    {
        ResultTool = 1;
        QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(160, 100));
    }

private slots:
    void init() { ResultTool = 0; RedrawSuspended = false; }

    void freshViewShowsLightGrey()
    {
        TResuImag view;
        QCOMPARE(view.size(), QSize(160, 100));
        const RasterImage& pic = view.GetPicture();
        QVERIFY(pic.Allocated);
        QCOMPARE(pic.Width(), 160);
        QCOMPARE(pic.Height(), 100);
        const uint8_t* p = pic.Lock();
        QVERIFY(std::all_of(p, p + pic.ImageSize, [](uint8_t b) { return b == 207; }));
        QVERIFY(SameRegion(view.GetRegion(), 0, 0, 159, 99));
        QVERIFY(view.GetDisplay().Allocated);
        QCOMPARE(DisplayAt(view, 80, 50), qMakePair(207, 207));
        QVERIFY(!view.IsDragging());
    }

    void setPictureShowsAllOfIt()
    {
        TResuImag view;
        QSignalSpy sized(&view, &TResuImag::PictureSized);
        view.SetPicture(Gradient(320, 200));
        QVERIFY(SameRegion(view.GetRegion(), 0, 0, 319, 199));
        QCOMPARE(view.size(), QSize(320, 200));
        QCOMPARE(sized.count(), 1);
        QCOMPARE(sized.at(0).at(0).toInt(), 320);
        view.RefreshView();
        QCOMPARE(view.GetDisplay().Width(), 320);
        QCOMPARE(DisplayAt(view, 17, 33), qMakePair(17, 33));
        // The view really paints it, rows the right way up.
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QImage shot = view.grab().toImage();
        QCOMPARE(qBlue(shot.pixel(17, 33)), 17);
        QCOMPARE(qGreen(shot.pixel(17, 33)), 33);
        QCOMPARE(qRed(shot.pixel(17, 33)), 9);
    }

    void zoomInByTwoAtTheCentre()
    {
        auto view = ShownView();
        ZoomInAtCentre(*view);
        // 159.5 -/+ 79.75 and 99.5 -/+ 49.75, rounded: 160 x 100 around the click.
        QVERIFY(SameRegion(view->GetRegion(), 80, 50, 239, 149));
        QVERIFY(!view->IsDragging());
        QCOMPARE(DisplayAt(*view, 0, 0), qMakePair(80, 50));
        QCOMPARE(DisplayAt(*view, 319, 199), qMakePair(239, 149));
        // Near the top left corner of the whole picture: kept inside it
        // (1.5 - 79.75 < 0, so the region starts at 0 and is 159.5 -> 160 wide).
        view->SetPicture(Gradient(320, 200));
        QTest::mouseClick(view.get(), Qt::LeftButton, {}, QPoint(2, 2));
        QVERIFY(SameRegion(view->GetRegion(), 0, 0, 160, 100));
        // A press that stays inside the 5-pixel dead zone is a click as well:
        // 161 / 320 x 104 - 0.5 = 51.825 -/+ 40.
        QTest::mousePress(view.get(), Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseMove(view.get(), QPoint(104, 103));
        QVERIFY(view->IsDragging());
        QVERIFY(!view->IsBandShown());
        QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(104, 103));
        QCOMPARE(view->GetRegion().Left, 12);
        QCOMPARE(view->GetRegion().Right, 92);
    }

    void bandZoomAndBandUnderSixPixels()
    {
        auto view = ShownView();
        ZoomInAtCentre(*view);  // one view pixel is half a picture pixel now
        QTest::mousePress(view.get(), Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseMove(view.get(), QPoint(110, 110));
        QVERIFY(view->IsDragging());
        QVERIFY(view->IsBandShown());
        QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(110, 110));
        QVERIFY(SameRegion(view->GetRegion(), 80, 50, 239, 149));  // 5 x 5 picture pixels: nothing
        QVERIFY(!view->IsDragging());
        QVERIFY(!view->IsBandShown());

        // A real band, dragged up-left: normalised, then widened to the
        // picture's 8:5 proportions (the view is not aligned in a window).
        QTest::mousePress(view.get(), Qt::LeftButton, {}, QPoint(100, 80));
        QTest::mouseMove(view.get(), QPoint(50, 40));
        QTest::mouseMove(view.get(), QPoint(20, 20));
        QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(SameRegion(view->GetRegion(), 90, 60, 138, 90));

        // Aligned views keep the band's own proportions.
        view->SetAligned(true);
        view->SetPicture(Gradient(320, 200));
        QTest::mousePress(view.get(), Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseMove(view.get(), QPoint(60, 120));
        QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(60, 120));
        QVERIFY(SameRegion(view->GetRegion(), 20, 20, 60, 120));
    }

    void zoomOutIsRefusedOrMovedInside()
    {
        auto view = ShownView();
        ResultTool = 1;
        // Everything is shown already: the region stays.
        QTest::mouseClick(view.get(), Qt::RightButton, {}, QPoint(160, 100));
        QVERIFY(SameRegion(view->GetRegion(), 0, 0, 319, 199));
        // From the zoomed centre, near the top left: doubled and moved inside.
        ZoomInAtCentre(*view);
        QTest::mouseClick(view.get(), Qt::RightButton, {}, QPoint(10, 10));
        QVERIFY(SameRegion(view->GetRegion(), 0, 0, 318, 198));
        // Near the bottom right it sticks out the other way.
        ZoomInAtCentre(*view);
        QVERIFY(SameRegion(view->GetRegion(), 80, 50, 238, 148));
        QTest::mouseClick(view.get(), Qt::RightButton, {}, QPoint(315, 195));
        QVERIFY(SameRegion(view->GetRegion(), 3, 3, 319, 199));
        // A factor of 0 would divide by zero; it does nothing.
        view->SetZoomOutFactor(0.0);
        QTest::mouseClick(view.get(), Qt::RightButton, {}, QPoint(100, 100));
        QVERIFY(SameRegion(view->GetRegion(), 3, 3, 319, 199));
    }

    void handMoveStopsAtThePictureEdges()
    {
        auto view = ShownView();
        ZoomInAtCentre(*view);
        ResultTool = 3;
        QTest::mousePress(view.get(), Qt::LeftButton, {}, QPoint(160, 100));
        QVERIFY(view->IsDragging());
        QTest::mouseMove(view.get(), QPoint(0, 100));  // 160 x 159/320 = 79.5 -> 80
        QVERIFY(SameRegion(view->GetRegion(), 160, 50, 319, 149));
        // Outside the view the point is held at the edge: no further move.
        QTest::mouseMove(view.get(), QPoint(-60, 100));
        QCOMPARE(QCursor::pos(), view->mapToGlobal(QPoint(0, 100)));
        QVERIFY(SameRegion(view->GetRegion(), 160, 50, 319, 149));
        QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(0, 100));
        QVERIFY(!view->IsDragging());

        // Past the right edge: refused sideways, taken downwards.
        QTest::mousePress(view.get(), Qt::LeftButton, {}, QPoint(300, 100));
        QTest::mouseMove(view.get(), QPoint(100, 199));  // dx 99.4 refused, dy -49
        QVERIFY(SameRegion(view->GetRegion(), 160, 1, 319, 100));
        // One pixel further up would reach row 0, which is fine while moving,
        // but two would leave the picture.
        QTest::mouseMove(view.get(), QPoint(100, 200 + 3));
        QVERIFY(SameRegion(view->GetRegion(), 160, 1, 319, 100));
        QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(100, 199));

        // On release the top must stay above 0: a shift to row 0 is refused.
        QTest::mousePress(view.get(), Qt::LeftButton, {}, QPoint(160, 100));
        QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(160, 102));
        QVERIFY(SameRegion(view->GetRegion(), 160, 1, 319, 100));
        // But a release that moves down by one pixel is taken.
        QTest::mousePress(view.get(), Qt::LeftButton, {}, QPoint(160, 100));
        QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(160, 98));
        QVERIFY(SameRegion(view->GetRegion(), 160, 2, 319, 101));
    }

    void pixelReadOutFollowsTheMouse()
    {
        auto view = ShownView();
        QSignalSpy status(view.get(), &TResuImag::StatusText);
        HoverTo(*view, QPoint(0, 0));
        QVERIFY(!status.isEmpty());
        QCOMPARE(status.last().at(0).toString(), QString("Pixel: (0, 0)"));
        HoverTo(*view, QPoint(160, 101));
        QCOMPARE(status.last().at(0).toString(), QString("Pixel: (160, 100)"));  // 159.5 -> 160, 100.5 -> 100
        HoverTo(*view, QPoint(320, 200));
        QCOMPARE(status.last().at(0).toString(), QString("Pixel: (319, 199)"));
        ZoomInAtCentre(*view);
        ResultTool = 0;
        HoverTo(*view, QPoint(1, 1));
        QCOMPARE(status.last().at(0).toString(), QString("Pixel: (80, 50)"));
    }

    void toolNoneOnlyReadsOut()
    {
        auto view = ShownView();
        ZoomInAtCentre(*view);
        ResultTool = 0;
        QSignalSpy status(view.get(), &TResuImag::StatusText);
        for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton}) {
            QTest::mousePress(view.get(), b, {}, QPoint(50, 50));
            QVERIFY(!view->IsDragging());
            QTest::mouseRelease(view.get(), b, {}, QPoint(200, 150));
            HoverTo(*view, QPoint(200, 150));
        }
        QVERIFY(SameRegion(view->GetRegion(), 80, 50, 239, 149));
        QCOMPARE(status.count(), 2);
        QCOMPARE(status.last().at(0).toString(), QString("Pixel: (180, 124)"));  // 124.5 ties to even
    }

    void zoomAllShowsEverythingAgain()
    {
        auto view = ShownView();
        ZoomInAtCentre(*view);
        view->resize(200, 120);
        ResultTool = 2;
        QTest::mouseClick(view.get(), Qt::RightButton, {}, QPoint(10, 10));
        QVERIFY(SameRegion(view->GetRegion(), 0, 0, 319, 199));
        QCOMPARE(view->size(), QSize(320, 200));
        QCOMPARE(DisplayAt(*view, 300, 10), qMakePair(300 % 256, 10));
    }

    void smallViewOrSuspendedRedrawKeepsTheDisplay()
    {
        auto view = ShownView();
        view->resize(39, 100);
        QCOMPARE(view->GetDisplay().Width(), 320);  // below 40 pixels: not rendered
        view->resize(40, 40);
        QCOMPARE(view->GetDisplay().Width(), 40);
        RedrawSuspended = true;
        view->resize(100, 100);
        QCOMPARE(view->GetDisplay().Width(), 40);
        RedrawSuspended = false;
        view->RefreshView();
        QCOMPARE(view->GetDisplay().Width(), 100);
    }

    void displayModesScaleTheRegion()
    {
        for (uint8_t mode : {kDisplayQuick, kDisplayNormal, kDisplayHigh}) {
            auto view = ShownView();
            view->SetDisplayMode(mode);
            view->resize(160, 100);  // half size: each mode averages or samples
            RasterImage expected;
            expected.Init(160, 100);
            const RasterImage source = Gradient(320, 200);
            if (mode == kDisplayQuick)
                ScaleQuick(source, expected);
            else if (mode == kDisplayNormal)
                ScaleNormal(source, expected);
            else
                ScaleHigh(source, expected);
            QCOMPARE(std::memcmp(view->GetDisplay().Lock(), expected.Lock(), expected.ImageSize), 0);
        }
    }

    void resultWindowsHoldOneViewFillingThem()
    {
        TEditAnceForm project(kMeshProjectWindow);
        TMeshResuForm mesh(&project);
        QCOMPARE(mesh.windowTitle(), QString("Result"));
        QCOMPARE(mesh.WindowKind, uint8_t(2));
        QCOMPARE(mesh.Project(), &project);
        QCOMPARE(mesh.minimumSize(), QSize(89, 84));
        QCOMPARE(mesh.size(), QSize(160, 100));
        QCOMPARE(mesh.ResuImag()->geometry(), QRect(0, 0, 160, 100));
        mesh.ResuImag()->SetPicture(Gradient(320, 200));
        QCOMPARE(mesh.size(), QSize(320, 200));
        QCOMPARE(mesh.ResuImag()->geometry(), QRect(0, 0, 320, 200));
        mesh.resize(50, 50);
        QCOMPARE(mesh.size(), QSize(89, 84));

        TEditAnceForm nodeProject(kNodeProjectWindow);
        TNodeResuForm node(&nodeProject);
        QCOMPARE(node.WindowKind, uint8_t(3));
        QCOMPARE(node.Project(), &nodeProject);
        NodeViewSettings settings{};
        settings.ZoomInFactor.Set(3.0);
        settings.ZoomOutFactor.Set(0.25);
        settings.ZoomQuality = 2;
        settings.ResultWidth = 200;
        settings.ResultHeight = 150;
        node.ApplyViewSettings(settings);
        QCOMPARE(node.ResuImag()->GetZoomInFactor(), 3.0);
        QCOMPARE(node.ResuImag()->GetZoomOutFactor(), 0.25);
        QCOMPARE(node.ResuImag()->GetDisplayMode(), uint8_t(2));
        QCOMPARE(node.size(), QSize(200, 150));
        QCOMPARE(node.ResuImag()->size(), QSize(200, 150));
    }
};

QTEST_MAIN(TestResuImag)
#include "tst_resu_imag.moc"
