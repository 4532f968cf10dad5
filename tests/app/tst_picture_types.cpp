// PNG and JPEG pictures in the workstation: chosen through the project
// window's picture dialog, refused with a message that leaves the project's
// picture alone, and written as PNG frames by "Generate animation".
#include <QAction>
#include <QDir>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <memory>

#include "app/mesh_edit_form.h"
#include "app/gui_capture.h"
#include "app/main_morf_form.h"
#include "app/resu_form.h"
#include "images/picture_file.h"

namespace {
QString Fixture(const char* name) { return QStringLiteral(QV_FIXTURES) + "/pictures/" + name; }

RasterImage Copy(const RasterImage& p)
{
    RasterImage c;
    c.Init(p.Width(), p.Height());
    std::memcpy(c.Lock(), p.Lock(), static_cast<size_t>(p.ImageSize));
    return c;
}

bool SamePixels(const RasterImage& a, const RasterImage& b)
{
    return a.Allocated && b.Allocated && a.Width() == b.Width() && a.Height() == b.Height() &&
           std::memcmp(a.Lock(), b.Lock(), static_cast<size_t>(a.ImageSize)) == 0;
}
}  // namespace

class TestPictureTypes : public QObject {
    Q_OBJECT
    std::unique_ptr<GuiCapture> Capture;
    std::unique_ptr<TMainMorfForm> Form;
    std::unique_ptr<QTemporaryDir> Dir;

    QAction* Action(const char* name) { return Form->findChild<QAction*>(name); }
    TMeshEditForm* Project() { return qobject_cast<TMeshEditForm*>(Form->ActiveProject()); }
    const RasterImage& Shown()
    {
        return qobject_cast<TResuForm*>(Project()->ResultWindow())->ResuImag()->GetPicture();
    }
    QString LeftName() { return QString::fromStdString(Project()->Record()->Common().LeftPicture.Get()); }

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

    void pngAndJpegLoadThroughThePictureDialog()
    {
        Capture->WarpMethod = 0;
        Action("NewProject1")->trigger();
        QVERIFY(Project());
        Capture->OpenAnswer = Fixture("png_rgba_16_interlaced.png");
        Action("SBLoadLeft")->trigger();
        // The dialog offers both types, each alone and among all pictures.
        const QString filter = Capture->DialogFilters.last();
        QVERIFY2(filter.startsWith("All pictures (*.bmp *.pcx *.tga *.png *.jpg *.jpeg);;"), qPrintable(filter));
        QVERIFY(filter.contains(";;PNG - Portable Network Graphics (*.png)"));
        QVERIFY(filter.contains(";;JPEG - JPEG picture (*.jpg *.jpeg)"));
        Capture->OpenAnswer = Fixture("jpeg_orient_6.jpg");
        Action("SBLoadRigh")->trigger();
        QVERIFY(Capture->Messages.empty());
        QCOMPARE(LeftName(), Fixture("png_rgba_16_interlaced.png"));
        QCOMPARE(QString::fromStdString(Project()->Record()->Common().RightPicture.Get()), Fixture("jpeg_orient_6.jpg"));

        // Frame 1 of the left warp and the last frame of the right one show
        // the two pictures; the portrait photo stands upright (31 x 37).
        Project()->Record()->Mesh.Morph.ResultWidth = 37;
        Project()->Record()->Mesh.Morph.ResultHeight = 31;
        Form->FrameSpinEdit()->setValue(1);
        Action("SBWarpLeft")->trigger();
        QVERIFY(Capture->Messages.empty());
        RasterImage png;
        LoadPicture(Fixture("png_rgba_16_interlaced.png").toStdString(), png);
        QVERIFY(SamePixels(Shown(), png));
        const RasterImage before = Copy(Shown());
        Project()->Record()->Mesh.Morph.ResultWidth = 31;
        Project()->Record()->Mesh.Morph.ResultHeight = 37;
        Form->FrameSpinEdit()->setValue(5);
        Action("SBWarpRigh")->trigger();
        RasterImage jpeg;
        LoadPicture(Fixture("jpeg_orient_6.jpg").toStdString(), jpeg);
        QCOMPARE(jpeg.Width(), 31);
        QVERIFY(SamePixels(Shown(), jpeg));

        // A damaged file is named in the message and changes nothing.
        Capture->OpenAnswer = Fixture("damaged_png_cut.png");
        Action("SBLoadLeft")->trigger();
        QCOMPARE(Capture->Messages.size(), size_t(1));
        QCOMPARE(Capture->LastText(), "Error: PNG file ends too early: " + Fixture("damaged_png_cut.png"));
        QCOMPARE(LeftName(), Fixture("png_rgba_16_interlaced.png"));
        Project()->Record()->Mesh.Morph.ResultWidth = 37;
        Project()->Record()->Mesh.Morph.ResultHeight = 31;
        Form->FrameSpinEdit()->setValue(1);
        Action("SBWarpLeft")->trigger();
        QVERIFY(SamePixels(Shown(), before));

        // A type that cannot be read says which can.
        const QString webp = Dir->filePath("photo.webp");
        WriteFileBytes(webp, ReadFileBytes(Fixture("jpeg_grey.jpg")));
        Capture->OpenAnswer = webp;
        Action("SBLoadLeft")->trigger();
        QCOMPARE(Capture->Messages.back().Code, 9);
        QCOMPARE(Capture->LastText(), "Error: Pictures of this type cannot be read: " + webp +
                                          "\nReadable types: BMP (.bmp, .dib, .rle), TGA (.tga), PCX (.pcx), "
                                          "PNG (.png), JPEG (.jpg, .jpeg)");
        QCOMPARE(LeftName(), Fixture("png_rgba_16_interlaced.png"));
    }

    void generateAnimationWritesPngFrames()
    {
        const QDir data(QStringLiteral(QV_BIN_DIR) + "/Data");
        for (const QString& f : data.entryList(QDir::Files))
            QFile::copy(data.filePath(f), Dir->filePath(f));
        QVERIFY(Form->OpenProjectFile(Dir->filePath("demo_mesh.prj")));
        MeshMorphSettings& s = Project()->Record()->Mesh.Morph;
        const QString out = Dir->filePath("out");
        QVERIFY(QDir().mkdir(out));
        s.OutputPath.Set(out.toStdString());
        s.OutputPrefix.Set("f");
        s.OutputType = 3;
        s.FirstFrame = 23;
        s.LastFrame = 24;
        Action("SBGeneAnim")->trigger();
        QVERIFY(Capture->Messages.empty());
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList({"f23.PNG", "f24.PNG"}));
        RasterImage last, end;
        LoadPicture((out + "/f24.PNG").toStdString(), last);
        LoadPicture(Dir->filePath("demo_end.bmp").toStdString(), end);
        QVERIFY(SamePixels(last, end));
        QVERIFY(SamePixels(Shown(), last));
    }
};

QTEST_MAIN(TestPictureTypes)
#include "tst_picture_types.moc"
