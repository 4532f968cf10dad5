// The workstation's preview and "Generate animation" commands on the demo
// projects: what the user sees in the result window and finds on disk.
#include <QAction>
#include <QDir>
#include <QMdiArea>
#include <QFileInfo>
#include <QSpinBox>
#include <QThread>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <memory>

#include "app/project_form.h"
#include "app/gui_capture.h"
#include "app/main_morf_form.h"
#include "app/resu_form.h"
#include "images/picture_file.h"
#include "images/safe_file.h"

namespace {
bool SamePixels(const RasterImage& a, const RasterImage& b)
{
    return a.Allocated && b.Allocated && a.Width() == b.Width() && a.Height() == b.Height() &&
           std::memcmp(a.Lock(), b.Lock(), static_cast<size_t>(a.ImageSize)) == 0;
}
}  // namespace

class TestProjectFrames : public QObject {
    Q_OBJECT
    std::unique_ptr<GuiCapture> Capture;
    std::unique_ptr<TMainMorfForm> Form;
    std::unique_ptr<QTemporaryDir> Dir;

    QAction* Action(const char* name) { return Form->findChild<QAction*>(name); }
    // The demo Data folder copied away from the build, as a user's own copy.
    QString CopyData()
    {
        const QDir data(QStringLiteral(QV_BIN_DIR) + "/Data");
        for (const QString& f : data.entryList(QDir::Files))
            QFile::copy(data.filePath(f), Dir->filePath(f));
        return Dir->path();
    }
    TProjectForm* Project() { return qobject_cast<TProjectForm*>(Form->ActiveProject()); }
    const RasterImage& Shown()
    {
        return qobject_cast<TResuForm*>(Project()->ResultWindow())->ResuImag()->GetPicture();
    }
    RasterImage Load(const QString& name)
    {
        RasterImage p;
        LoadPicture(name.toStdString(), p);
        return p;
    }

private slots:
    void init()
    {
        Capture = std::make_unique<GuiCapture>();
        Form = std::make_unique<TMainMorfForm>();
        Dir = std::make_unique<QTemporaryDir>();
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

    void previewsShowTheFramesOfTheMeshProject()
    {
        const QString folder = CopyData();
        QVERIFY(Form->OpenProjectFile(folder + "/demo_mesh.prj"));
        QVERIFY(Project());
        // Frame 1 of the left picture is the start picture itself.
        Form->FrameSpinEdit()->setValue(1);
        Action("SBWarpLeft")->trigger();
        QVERIFY(Capture->Messages.empty());
        QVERIFY(SamePixels(Shown(), Load(folder + "/demo_start.bmp")));
        // The last morph frame is the end picture.
        Form->FrameSpinEdit()->setValue(24);
        Action("SBMorf")->trigger();
        QVERIFY(SamePixels(Shown(), Load(folder + "/demo_end.bmp")));
        // A frame in between is neither.
        Form->FrameSpinEdit()->setValue(12);
        Action("SBWarpRigh")->trigger();
        QCOMPARE(Shown().Width(), 320);
        QVERIFY(!SamePixels(Shown(), Load(folder + "/demo_end.bmp")));
        QVERIFY(Capture->Messages.empty());
    }

    void generateAnimationWritesTheFramesAndShowsTheLast()
    {
        const QString folder = CopyData();
        QVERIFY(Form->OpenProjectFile(folder + "/demo_mesh.prj"));
        MeshMorphSettings& s = Project()->Record()->Mesh.Morph;
        const QString out = folder + "/out";
        QVERIFY(QDir().mkdir(out));
        s.OutputPath.Set(out.toStdString());
        s.OutputPrefix.Set("f");
        s.FirstFrame = 22;
        s.LastFrame = 24;
        Action("SBGeneAnim")->trigger();
        QVERIFY(Capture->Messages.empty());
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList({"f22.TGA", "f23.TGA", "f24.TGA"}));
        QVERIFY(SamePixels(Load(out + "/f24.TGA"), Load(folder + "/demo_end.bmp")));
        QVERIFY(SamePixels(Shown(), Load(out + "/f24.TGA")));
    }

    // A disk that fills in the second frame: the frame before stays, the
    // failing one is shown, and the one message comes from the window's
    // thread although the frames are written on another.
    void generateAnimationStopsWhereTheDiskFills()
    {
        const QString folder = CopyData();
        QVERIFY(Form->OpenProjectFile(folder + "/demo_mesh.prj"));
        MeshMorphSettings& s = Project()->Record()->Mesh.Morph;
        const QString whole = folder + "/whole", cut = folder + "/cut";
        QVERIFY(QDir().mkdir(whole) && QDir().mkdir(cut));
        s.OutputPrefix.Set("f");
        s.FirstFrame = 20;
        s.LastFrame = 23;
        s.OutputPath.Set(whole.toStdString());
        Action("SBGeneAnim")->trigger();
        QVERIFY(Capture->Messages.empty());
        const qint64 frameBytes = QFileInfo(whole + "/f20.TGA").size();
        QVERIFY(frameBytes > 1000);

        std::vector<Qt::HANDLE> threads;
        const ErrorBoxHook shown = SetErrorBoxHook([&](const ErrorBoxMessage& m) {
            threads.push_back(QThread::currentThreadId());
            Capture->Messages.push_back(m);
        });
        s.OutputPath.Set(cut.toStdString());
        AtomicFileWriter::FailWritesAfter(frameBytes * 3 / 2);
        Action("SBGeneAnim")->trigger();
        AtomicFileWriter::FailWritesAfter(-1);
        SetErrorBoxHook(shown);
        QCOMPARE(QDir(cut).entryList(QDir::Files), QStringList({"f20.TGA"}));
        QCOMPARE(Capture->Messages.size(), size_t{1});
        QCOMPARE(QString::fromStdString(Capture->Messages[0].Text),
                 "Error: Error writing to file: " + cut + "/f21.TGA");
        QCOMPARE(threads, std::vector<Qt::HANDLE>{QThread::currentThreadId()});
        QCOMPARE(Capture->Beeps, 0);
        QVERIFY(SamePixels(Shown(), Load(whole + "/f21.TGA")));
        QVERIFY(SamePixels(Load(cut + "/f20.TGA"), Load(whole + "/f20.TGA")));
    }

    void nodeProjectPreviewsToo()
    {
        const QString folder = CopyData();
        QVERIFY(Form->OpenProjectFile(folder + "/demo_node.prj"));
        Form->FrameSpinEdit()->setValue(12);
        Action("SBMorf")->trigger();
        QVERIFY(Capture->Messages.empty());
        QCOMPARE(Shown().Width(), 320);
        QCOMPARE(Shown().Height(), 240);
        QVERIFY(!SamePixels(Shown(), Load(folder + "/demo_start.bmp")));
    }

    void newProjectNeedsPicturesThenCrossDissolvesThem()
    {
        const QString folder = CopyData();
        Capture->WarpMethod = 0;
        Action("NewProject1")->trigger();
        QVERIFY(Project());
        Action("SBMorf")->trigger();
        QCOMPARE(Capture->LastText(), QString("Error: Load the start and end pictures first."));
        QCOMPARE(Shown().Width(), 160);  // the empty result picture stays

        Capture->OpenAnswer = folder + "/demo_data.txt";
        Action("SBLoadLeft")->trigger();
        QCOMPARE(Capture->Messages.back().Code, 9);
        QCOMPARE(int(Project()->Record()->Common().LeftPicture.Length), 0);

        Capture->OpenAnswer = folder + "/demo_start.bmp";
        Action("SBLoadLeft")->trigger();
        QCOMPARE(Capture->DialogTitles.last(), QString("tst_project_frames - load left image"));
        Capture->OpenAnswer = folder + "/demo_end.bmp";
        Action("SBLoadRigh")->trigger();
        QVERIFY(Project()->IsModified());
        QCOMPARE(QString::fromStdString(Project()->Record()->Common().RightPicture.Get()), folder + "/demo_end.bmp");
        const size_t before = Capture->Messages.size();
        // No mesh files yet: the frame meshes, so frame 1 of 5 is the start picture.
        Form->FrameSpinEdit()->setValue(1);
        Action("SBMorf")->trigger();
        QCOMPARE(Capture->Messages.size(), before);
        QCOMPARE(Shown().Width(), 160);  // the project's result size
        QCOMPARE(Shown().Height(), 100);
    }
};

QTEST_MAIN(TestProjectFrames)
#include "tst_project_frames.moc"
