// A mesh project window as the user sees it: both pictures with their meshes
// in two panes, edited with the mouse through the main window's tools.
#include <QAction>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollArea>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <cstring>
#include <memory>

#include "app/mesh_edit_form.h"
#include "app/gui_capture.h"
#include "app/main_morf_form.h"
#include "app/mesh_panes.h"
#include "app/resu_form.h"
#include "images/picture_file.h"
#include "views/mesh_imag.h"

namespace {
bool SamePixels(const RasterImage& a, const RasterImage& b)
{
    return a.Allocated && b.Allocated && a.Width() == b.Width() && a.Height() == b.Height() &&
           std::memcmp(a.Lock(), b.Lock(), static_cast<size_t>(a.ImageSize)) == 0;
}

// Panel point of a world point in a view showing a W x H picture at 1:1.
QPoint At(double u, double v, int w, int h)
{
    return QPoint(int(std::nearbyint(14 + 0.5 + u * (w - 1))), int(std::nearbyint(14 + 0.5 + v * (h - 1))));
}

QByteArray PixelBytes(const RasterImage& p)
{
    return QByteArray(reinterpret_cast<const char*>(p.Lock()), p.ImageSize);
}

int32_t Int32At(const QByteArray& b, int at)
{
    int32_t v;
    std::memcpy(&v, b.constData() + at, 4);
    return v;
}
}  // namespace

class TestMeshProject : public QObject {
    Q_OBJECT
    std::unique_ptr<GuiCapture> Capture;
    std::unique_ptr<TMainMorfForm> Form;
    std::unique_ptr<QTemporaryDir> Dir;

    QAction* Action(const char* name) { return Form->findChild<QAction*>(name); }
    QString CopyData()
    {
        const QDir data(QStringLiteral(QV_BIN_DIR) + "/Data");
        for (const QString& f : data.entryList(QDir::Files))
            QFile::copy(data.filePath(f), Dir->filePath(f));
        return Dir->path();
    }
    TMeshEditForm* Project() { return qobject_cast<TMeshEditForm*>(Form->ActiveProject()); }
    TMeshImag* View(bool left) { return Project()->MeshPanes()->View(left); }
    const RasterImage& Shown()
    {
        return qobject_cast<TResuForm*>(Project()->ResultWindow())->ResuImag()->GetPicture();
    }
    RasterImage LoadPic(const QString& name)
    {
        RasterImage p;
        LoadPicture(name.toStdString(), p);
        return p;
    }
    TMeshDefsData LoadMesh(const QString& name)
    {
        TMeshDefsData m(2, 2);
        m.LoadFromFile(name.toStdString(), false);
        return m;
    }

private slots:
    void init()
    {
        Capture = std::make_unique<GuiCapture>();
        Form = std::make_unique<TMainMorfForm>();
        Dir = std::make_unique<QTemporaryDir>();
        Form->resize(1200, 800);
        Form->show();
        QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
    }
    void cleanup()
    {
        Capture->Answer = QMessageBox::No;
        Form.reset();
        Dir.reset();
        Capture.reset();
    }

    void openedProjectShowsBothPicturesWithTheirMeshes()
    {
        const QString folder = CopyData();
        QVERIFY(Form->OpenProjectFile(folder + "/demo_mesh.prj"));
        QVERIFY(Project() && Project()->MeshPanes());
        QCOMPARE(Project()->size(), QSize(720, 300));  // the stored client size
        QCOMPARE(Project()->MeshPanes()->handleWidth(), 5);
        for (bool left : {true, false}) {
            TMeshImag* view = View(left);
            const QString stem = folder + (left ? "/demo_start" : "/demo_end");
            QVERIFY(SamePixels(view->GetPicture(), LoadPic(stem + ".bmp")));
            const TMeshDefsData file = LoadMesh(stem + ".msh");
            QCOMPARE(view->Mesh.Data->Cols, file.Cols);
            QCOMPARE(view->Mesh.Data->X, file.X);
            QCOMPARE(view->Mesh.Data->Y, file.Y);
            QCOMPARE(view->size(), QSize(348, 268));  // the stored pane size and the margins
            QCOMPARE(view->GetPartner(), View(!left));
            QVERIFY(view->Mesh.ShowLines);
            // Every node of the mesh lies on its lines, drawn in the line colour.
            const QImage shot = view->grab().toImage();
            for (int32_t j = 1; j + 1 < file.Rows; ++j)
                for (int32_t i = 1; i + 1 < file.Cols; ++i) {
                    const RealPoint n = file.GetNode(i, j);
                    const QPoint p = At(n.X, n.Y, 320, 240);
                    QCOMPARE(shot.pixel(p), qRgb(0, 255, 0));
                }
        }
        QCOMPARE(Project()->MeshPanes()->Pane(true)->width(), 348 + 4);
        QVERIFY(Capture->Messages.empty());
        QVERIFY(!Project()->IsModified());
    }

    void editsChangeBothMeshesAndTheFramesMadeFromThem()
    {
        const QString folder = CopyData();
        QVERIFY(Form->OpenProjectFile(folder + "/demo_mesh.prj"));
        // The edit tool from the main window's button: a row from the margin.
        Action("SBEdit")->trigger();
        QTest::mouseClick(View(true), Qt::RightButton, {}, QPoint(6, 100));
        QCOMPARE(View(true)->Mesh.Data->Rows, 8);
        QCOMPARE(View(false)->Mesh.Data->Rows, 8);
        QVERIFY(Project()->IsModified());

        // A node dragged in the left view: the left warp takes it.
        Form->FrameSpinEdit()->setValue(24);
        Action("SBWarpLeft")->trigger();
        const QByteArray warped = PixelBytes(Shown());
        const RealPoint node = View(true)->Mesh.Data->GetNode(3, 3);
        const RealPoint partner = View(false)->Mesh.Data->GetNode(3, 3);
        const QPoint from = At(node.X, node.Y, 320, 240), to = from + QPoint(12, 9);
        QTest::mousePress(View(true), Qt::LeftButton, {}, from);
        QTest::mouseMove(View(true), to);
        QTest::mouseRelease(View(true), Qt::LeftButton, {}, to);
        const RealPoint moved = View(true)->Mesh.Data->GetNode(3, 3);
        QVERIFY(std::abs(moved.X - (to.x() - 14.5) / 319) < 1e-9);
        QVERIFY(std::abs(moved.Y - (to.y() - 14.5) / 239) < 1e-9);
        QCOMPARE(View(false)->Mesh.Data->GetNode(3, 3).X, partner.X);  // only the dragged view's mesh
        QCOMPARE(View(false)->Mesh.Data->GetNode(3, 3).Y, partner.Y);
        Action("SBWarpLeft")->trigger();
        QCOMPARE(Shown().Width(), 320);
        QVERIFY(PixelBytes(Shown()) != warped);
        QVERIFY(Capture->Messages.empty());
    }

    void newProjectShowsPlaceholdersUntilPicturesAreLoaded()
    {
        const QString folder = CopyData();
        Capture->WarpMethod = 0;
        Action("NewProject1")->trigger();
        QVERIFY(Project()->MeshPanes());
        QCOMPARE(Project()->size(), QSize(709, 232));
        QCOMPARE(View(true)->size(), QSize(348, 228));
        QCOMPARE(View(true)->GetPicture().Width(), 320);
        QVERIFY(!Project()->MeshPanes()->HasPicture(true));
        Capture->OpenAnswer = folder + "/demo_start.bmp";
        Action("SBLoadLeft")->trigger();
        QVERIFY(SamePixels(View(true)->GetPicture(), LoadPic(folder + "/demo_start.bmp")));
        QCOMPARE(View(true)->size(), QSize(348, 268));
        QVERIFY(Project()->MeshPanes()->HasPicture(true));
        QVERIFY(!Project()->MeshPanes()->HasPicture(false));
        // The end picture is still missing for a morph.
        Action("SBMorf")->trigger();
        QCOMPARE(Capture->LastText(), QString("Error: Load the start and end pictures first."));
    }

    void environmentSettingsReachTheViews()
    {
        const QString folder = CopyData();
        QVERIFY(Form->OpenProjectFile(folder + "/demo_mesh.prj"));
        MeshViewSettings& v = Project()->Record()->Mesh.View;
        v.ShowSplines = 1;
        v.SplineSegments = 4;
        v.LeftPaneWidth = 200;
        v.FitRight = 1;
        v.ZoomQuality = 2;
        Project()->EnviromentApplied();
        QVERIFY(View(true)->Mesh.ShowSplines && View(false)->Mesh.ShowSplines);
        QCOMPARE(View(false)->Mesh.SegmentCount, 4);
        QCOMPARE(View(true)->size(), QSize(228, 268));
        QCOMPARE(Project()->ViewOuterSize(true), QSize(228, 268));
        QVERIFY(View(false)->IsAligned() && !View(true)->IsAligned());
        QCOMPARE(View(true)->GetDisplay().Width(), 200);
        QCOMPARE(View(true)->GetDisplayMode(), uint8_t(2));
        QCOMPARE(Project()->LeftPictureSize(), QSize(320, 240));
    }

    void savingKeepsTheShownRegionsAndTheDivider()
    {
        const QString folder = CopyData();
        QVERIFY(Form->OpenProjectFile(folder + "/demo_mesh.prj"));
        Action("SBZoomIn__")->trigger();
        QTest::mouseClick(View(true), Qt::LeftButton, {}, At(0.5, 0.5, 320, 240));
        const ViewRegion r = View(true)->GetRegion();
        QCOMPARE(r, (ViewRegion{80, 60, 239, 179}));
        const QString saved = folder + "/saved.prj";
        QVERIFY(!Project()->SaveProj(saved));
        const QByteArray file = ReadFileBytes(saved);
        const int common = 30;
        QCOMPARE(Int32At(file, common + 20), Project()->MeshPanes()->Pane(true)->width());
        QCOMPARE(Int32At(file, common + 24), 60);   // top
        QCOMPARE(Int32At(file, common + 28), 80);   // left
        QCOMPARE(Int32At(file, common + 32), 179);  // bottom
        QCOMPARE(Int32At(file, common + 36), 239);  // right
        QCOMPARE(Int32At(file, common + 44), 0);    // the right view shows everything
        QCOMPARE(Int32At(file, common + 52), 319);
        // Opened again, the left view shows that region.
        QVERIFY(Form->OpenProjectFile(saved));
        QCOMPARE(View(true)->GetRegion(), r);
    }
};

QTEST_MAIN(TestMeshProject)
#include "tst_mesh_project.moc"
