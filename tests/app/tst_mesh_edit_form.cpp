// The mesh project window as a user drives it: its menus merged into the main
// window and their short-cuts, opening projects whose meshes are missing or
// do not fit, the close query, saving, loading pictures and meshes, the
// previews, the animation and the information box.
#include <QAction>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QGroupBox>
#include <QMenuBar>
#include <QProcess>
#include <QScrollArea>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <memory>

#include "app/gui_capture.h"
#include "app/main_morf_form.h"
#include "app/mesh_edit_form.h"
#include "app/mesh_info_form.h"
#include "app/mesh_panes.h"
#include "app/mesh_resu_form.h"
#include "app/picture_filters.h"
#include "app/program_folder.h"
#include "app/envi_form.h"
#include "app/sett_form.h"
#include "app/warp_mode_form.h"
#include <QPushButton>
#include <QRadioButton>
#include "images/picture_file.h"
#include "project/project_file.h"
#include "views/mesh_imag.h"

namespace {

// A cols x rows mesh on a regular grid with one interior node moved by
// shift, so that meshes of one size still differ.
TMeshDefsData GridMesh(int32_t cols, int32_t rows, double shift)
{
    TMeshDefsData m(cols, rows);
    for (int32_t j = 0; j < rows; ++j)
        for (int32_t i = 0; i < cols; ++i)
            m.SetNode(i, j, {double(i) / (cols - 1), double(j) / (rows - 1)}, false);
    if (cols > 2 && rows > 2)
        m.SetNode(1, 1, {1.0 / (cols - 1) + shift, 1.0 / (rows - 1) - shift}, false);
    return m;
}

bool SameNodes(const TMeshDefsData& a, const TMeshDefsData& b)
{
    return a.Cols == b.Cols && a.Rows == b.Rows && a.X == b.X && a.Y == b.Y;
}

}  // namespace

class TestMeshEditForm : public QObject {
    Q_OBJECT
    std::unique_ptr<GuiCapture> Capture;
    std::unique_ptr<TMainMorfForm> Form;
    std::unique_ptr<QTemporaryDir> Dir;

    QString Path(const QString& name) { return Dir->filePath(name); }
    TMeshEditForm* Project() { return qobject_cast<TMeshEditForm*>(Form->ActiveProject()); }
    QAction* Action(const char* name) { return Form->findChild<QAction*>(QString::fromLatin1(name)); }
    QAction* Item(const char* name) { return Project()->findChild<QAction*>(QString::fromLatin1(name)); }
    QMdiSubWindow* Sub(QWidget* w) { return qobject_cast<QMdiSubWindow*>(w->parentWidget()); }
    TMeshDefsData& Mesh(bool left) { return *Project()->MeshPanes()->View(left)->Mesh.Data; }
    QString Stored(const ShortName& n) { return QString::fromStdString(n.Get()); }
    int Projects()
    {
        int n = 0;
        for (QMdiSubWindow* sub : Form->MdiArea()->subWindowList())
            n += qobject_cast<TMeshEditForm*>(sub->widget()) != nullptr;
        return n;
    }
    QStringList MenuTitles()
    {
        QStringList titles;
        for (QAction* a : Form->menuBar()->actions())
            titles << a->text();
        return titles;
    }
    void Key(Qt::Key key)
    {
        Form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Form.get()));
        QTest::keyClick(Form.get(), key, Qt::ControlModifier);
    }
    void Flush() { FlushDeletes(); }
    QString CopyDemo()
    {
        CopyDemoData(*Dir);
        return Path("demo_mesh.prj");
    }

private slots:
    void init()
    {
        Capture = std::make_unique<GuiCapture>();
        Form = std::make_unique<TMainMorfForm>();
        Dir = std::make_unique<QTemporaryDir>();
        Form->resize(1400, 900);
        Form->show();
        QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
    }
    void cleanup()
    {
        Capture->Answers.clear();
        Capture->Answer = QMessageBox::No;
        Form.reset();
        Dir.reset();
        Capture.reset();
    }

    void menusMergeWithEveryItemAndShortCut()
    {
        Capture->WarpMethod = 0;
        Action("NewProject1")->trigger();
        TMeshEditForm* project = Project();
        QVERIFY(project);
        const QStringList merged = {"&File", "&View", "&Run", "&Settings", "&Window", "&Help"};
        QCOMPARE(MenuTitles(), merged);
        QMenu* file = Form->menuBar()->actions().at(0)->menu();
        QCOMPARE(file->parent(), static_cast<QObject*>(project));
        QCOMPARE(MenuItems(file),
                 QStringList({"&New project|Ctrl+N", "&Open project|Ctrl+O", "&Close project|", "&Save project|Ctrl+S",
                              "Save project &as ...|", "&Load picture|", "Load &mesh|Ctrl+L", "Save m&esh|",
                              "Save mes&h as ...|Ctrl+H", "Save result p&icture as ...|Ctrl+A", "E&xit|"}));
        QMenu* run = Form->menuBar()->actions().at(2)->menu();
        QCOMPARE(run->actions().at(0)->text(), QString("&Morphing"));
        QCOMPARE(run->actions().at(0)->shortcut(), QKeySequence("Ctrl+G"));

        // The result window lends the same menus.
        Form->MdiArea()->setActiveSubWindow(Sub(project->ResultForm()));
        QCOMPARE(MenuTitles(), merged);
        QCOMPARE(Form->menuBar()->actions().at(0)->menu(), file);
        QCOMPARE(Form->menuBar()->actions().at(2)->menu(), run);

        // Short-cuts reach the project through the main window's bar.
        Capture->SideAnswer = -1;
        Key(Qt::Key_L);
        Key(Qt::Key_H);
        QCOMPARE(Capture->SideQuestions, QStringList({"Mesh select", "Mesh select"}));
        Key(Qt::Key_A);
        QCOMPARE(Capture->DialogTitles, QStringList({ApplicationTitle() + " - save result picture"}));
        QCOMPARE(Capture->DialogFilters.last(), QString::fromLatin1(kSavePictureFilter));
        Capture->Answer = QMessageBox::Cancel;
        Key(Qt::Key_S);
        QCOMPARE(Capture->Questions, QStringList({"Save changes to Untitled1.Prj?"}));
        Key(Qt::Key_O);
        QCOMPARE(Capture->DialogTitles.last(), ApplicationTitle() + " - open project");
        for (auto [dialog, key] : {std::pair<QDialog*, Qt::Key>{Form->MeshSettForm(), Qt::Key_G},
                                   {Form->MeshSettForm(), Qt::Key_M}, {Form->MeshEnviForm(), Qt::Key_E}}) {
            Form->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(Form.get()));
            QVERIFY(RunWhileOpen(dialog, [] {}, [&] { QTest::keyClick(Form.get(), key, Qt::ControlModifier); }));
        }
        // Ctrl+N is not ambiguous with the tool bar's "New project".
        Key(Qt::Key_N);
        QCOMPARE(Projects(), 2);
        QVERIFY(Project() != project);

        // "&Close project" runs the close query; "No" to all closes it.
        Capture->Answer = QMessageBox::No;
        Item("MICloseProj")->trigger();
        Flush();
        QCOMPARE(Projects(), 1);
        Form->MdiArea()->currentSubWindow()->close();
        Flush();
        QCOMPARE(MenuTitles(), QStringList({"&File", "&View", "&Window", "&Help"}));
        QCOMPARE(Action("NewProject1")->shortcut(), QKeySequence("Ctrl+N"));
        QVERIFY(!Action("SBSaveProj")->isEnabled());
    }

    void openingFallsBackOnTheMeshesThatLoad_data()
    {
        QTest::addColumn<QString>("left");   // "ok", "missing"
        QTest::addColumn<QString>("right");  // "ok", "missing", "wrong size"
        QTest::addColumn<QString>("leftNodes");   // whose nodes each side shows
        QTest::addColumn<QString>("rightNodes");
        QTest::addColumn<QString>("leftName");    // the mesh names afterwards
        QTest::addColumn<QString>("rightName");
        QTest::addColumn<int>("messages");
        QTest::newRow("both load") << "ok" << "ok" << "L" << "R" << "l.msh" << "r.msh" << 0;
        QTest::newRow("right missing") << "ok" << "missing" << "L" << "L" << "l.msh" << "NewMesh1.Msh" << 1;
        QTest::newRow("right wrong size") << "ok" << "wrong size" << "L" << "L" << "l.msh" << "NewMesh1.Msh" << 1;
        QTest::newRow("left missing") << "missing" << "ok" << "R" << "R" << "r.msh" << "r.msh" << 1;
        QTest::newRow("both missing") << "missing" << "missing" << "frame" << "frame" << "NewMesh1.Msh"
                                      << "NewMesh2.Msh" << 2;
    }
    void openingFallsBackOnTheMeshesThatLoad()
    {
        QFETCH(QString, left);
        QFETCH(QString, right);
        const TMeshDefs frame;
        const TMeshDefsData meshes[] = {GridMesh(3, 3, 0.1), GridMesh(3, 3, -0.1), GridMesh(4, 3, 0.0),
                                        *frame.Data};
        TMeshDefsData l = meshes[0], r = right == "wrong size" ? meshes[2] : meshes[1];
        if (left == "ok")
            QVERIFY(!l.SaveToFile(ToNativePath(Path("l.msh"))));
        if (right != "missing")
            QVERIFY(!r.SaveToFile(ToNativePath(Path("r.msh"))));
        const QString file = WriteDemoProject(*Dir, "p.prj", ProjectKind::Mesh, Path("l.msh"), Path("r.msh"));
        QVERIFY(Form->OpenProjectFile(file));
        TMeshEditForm* project = Project();
        QVERIFY(project);
        const ProjectCommon& c = project->Record()->Common();

        QFETCH(QString, leftNodes);
        QFETCH(QString, rightNodes);
        auto expected = [&](const QString& which) -> const TMeshDefsData& {
            return which == "L" ? meshes[0] : which == "R" ? meshes[1] : meshes[3];
        };
        QVERIFY(SameNodes(Mesh(true), expected(leftNodes)));
        QVERIFY(SameNodes(Mesh(false), expected(rightNodes)));
        QFETCH(QString, leftName);
        QFETCH(QString, rightName);
        auto named = [&](const QString& n) { return n.startsWith("NewMesh") ? n : Path(n); };
        QCOMPARE(Stored(c.LeftDefs), named(leftName));
        QCOMPARE(Stored(c.RightDefs), named(rightName));
        QFETCH(int, messages);
        QCOMPARE(int(Capture->Messages.size()), messages);
        if (left == "missing")
            QCOMPARE(QString::fromStdString(Capture->Messages.front().Text),
                     "Error: Error reading from file: " + Path("l.msh"));
        QCOMPARE(project->IsModified(), messages > 0);
        // Both pictures are on screen, each with its mesh.
        QVERIFY(project->MeshPanes()->HasPicture(true) && project->MeshPanes()->HasPicture(false));

        // The close query asks for the project when something failed, and
        // for each mesh made at opening, which is saved under a new name.
        QStringList asked, dialogs;
        if (messages > 0)
            asked << "Save changes to " + file + "?";
        if (left == "missing") {
            asked << "Save changes to " + named(leftName) + "?";
            dialogs << ApplicationTitle() + " - save left mesh";
        }
        if (right != "ok") {
            asked << "Save changes to " + named(rightName) + "?";
            dialogs << ApplicationTitle() + " - save right mesh";
        }
        const TMeshDefsData lastSaved = Mesh(right != "ok");
        Capture->Answers = {QMessageBox::No};  // not the project
        Capture->Answer = QMessageBox::Yes;    // but each mesh
        Capture->SaveAnswer = Path("saved.msh");
        QVERIFY(Sub(project)->close());
        QCOMPARE(Capture->Questions, asked);
        QCOMPARE(Capture->DialogTitles, dialogs);
        TMeshDefsData saved(2, 2);
        QCOMPARE(saved.LoadFromFile(ToNativePath(Path("saved.msh")), false), dialogs.isEmpty());
        QVERIFY(dialogs.isEmpty() || SameNodes(saved, lastSaved));
    }

    void closeQueryAsksOnlyAfterChanges()
    {
        const QString demo = CopyDemo();
        QVERIFY(Form->OpenProjectFile(demo));
        QVERIFY(!Project()->IsModified());
        QVERIFY(Sub(Project())->close());
        QVERIFY(Capture->Questions.isEmpty());
        Flush();
        QCOMPARE(Projects(), 0);

        // Moving the result window is a change: the question names the file.
        QVERIFY(Form->OpenProjectFile(demo));
        QMdiSubWindow* result = Sub(Project()->ResultForm());
        result->move(result->pos() + QPoint(12, 0));
        Capture->Answer = QMessageBox::Cancel;
        QVERIFY(!Sub(Project())->close());
        QCOMPARE(Capture->Questions, QStringList({"Save changes to " + demo + "?"}));
        // So is resizing the project window.
        Capture->Questions.clear();
        result->move(result->pos() - QPoint(12, 0));
        QVERIFY(!Project()->IsModified());
        Sub(Project())->resize(Sub(Project())->size() + QSize(30, 10));
        QVERIFY(Project()->IsModified());
        Capture->Answer = QMessageBox::No;
        QVERIFY(Sub(Project())->close());
        QCOMPARE(Capture->Questions.size(), 1);
        Flush();
        // And resizing the result window.
        QVERIFY(Form->OpenProjectFile(demo));
        Sub(Project()->ResultForm())->resize(Sub(Project()->ResultForm())->size() - QSize(20, 20));
        QVERIFY(Project()->IsModified());
        QVERIFY(Sub(Project())->close());
        QCOMPARE(Capture->Questions.size(), 2);
        Flush();

        // A new project always asks, also right after it was made.
        Capture->Questions.clear();
        Action("NewProject1")->trigger();
        Capture->Answer = QMessageBox::Cancel;
        QVERIFY(!Sub(Project())->close());
        QCOMPARE(Capture->Questions, QStringList({"Save changes to Untitled1.Prj?"}));
    }

    void anEditedMeshIsAskedForAndSavedWithTheProject()
    {
        const QString demo = CopyDemo();
        QVERIFY(Form->OpenProjectFile(demo));
        TMeshImag* view = Project()->MeshPanes()->View(true);
        // A node dragged in the left view at 1:1 (picture 320 x 240 inside a 14-pixel margin).
        const RealPoint node = Mesh(true).GetNode(3, 3);
        const QPoint from(int(std::nearbyint(14.5 + node.X * 319)), int(std::nearbyint(14.5 + node.Y * 239)));
        const QPoint to = from + QPoint(10, -7);
        Action("SBEdit")->trigger();
        QTest::mousePress(view, Qt::LeftButton, {}, from);
        QTest::mouseMove(view, to);
        QTest::mouseRelease(view, Qt::LeftButton, {}, to);
        const TMeshDefsData edited = Mesh(true);
        QVERIFY(!SameNodes(edited, Mesh(false)) && edited.Modified);

        // Yes to the project and to the changed mesh: both are written.
        Capture->Answer = QMessageBox::Yes;
        QVERIFY(Sub(Project())->close());
        QCOMPARE(Capture->Questions,
                 QStringList({"Save changes to " + demo + "?", "Save changes to demo_start.msh?"}));
        Flush();
        TMeshDefsData back(2, 2);
        QVERIFY(!back.LoadFromFile(ToNativePath(Path("demo_start.msh")), false));
        QVERIFY(SameNodes(back, edited));

        // Opened again: the edited mesh, nothing to ask.
        Capture->Questions.clear();
        QVERIFY(Form->OpenProjectFile(demo));
        QVERIFY(SameNodes(Mesh(true), edited));
        QVERIFY(Sub(Project())->close());
        QVERIFY(Capture->Questions.isEmpty());
    }

    void newProjectLayoutSizesAndAFailedSave()
    {
        Action("NewProject1")->trigger();
        TMeshEditForm* project = Project();
        QMdiSubWindow* sub = Sub(project);
        QMdiSubWindow* result = Sub(project->ResultForm());
        QCOMPARE(project->size(), QSize(709, 232));
        QCOMPARE(project->ResultForm()->size(), QSize(160, 100));
        // Below the project window and centred on it.
        QCOMPARE(result->y(), sub->y() + sub->height() + 1);
        QCOMPARE(result->x(), sub->x() + sub->width() / 2 - result->width() / 2);
        QCOMPARE(sub->minimumSize(), QSize(project->MeshPanes()->Pane(true)->width() + 117, 112));
        QCOMPARE(project->MeshPanes()->Pane(true)->width(), 348 + 4);

        // A save that cannot be written names the file and changes nothing.
        const QString bad = Path("no/such/folder/x.prj");
        Capture->SaveAnswer = bad;
        Item("MISaveProjAs")->trigger();
        QCOMPARE(Capture->Messages.size(), size_t(1));
        QVERIFY(Capture->LastText().contains(bad));
        QVERIFY(!project->HasFile());
        QCOMPARE(project->ProjectName(), QString("Untitled1.Prj"));
        QCOMPARE(project->windowTitle(), QString("Untitled1.Prj"));
        Capture->Answer = QMessageBox::Yes;
        QVERIFY(!sub->close());  // Yes, and the save fails again: the window stays
        QCOMPARE(Projects(), 1);
    }

    void saveProjectOfANewProjectStillSavesNamedMeshes()
    {
        Action("NewProject1")->trigger();
        TMeshDefsData corners(2, 2);
        for (int32_t k = 0; k < 4; ++k)
            corners.SetNode(k % 2, k / 2, {0.1 + 0.8 * (k % 2), 0.2 + 0.6 * (k / 2)}, false);
        QVERIFY(!corners.SaveToFile(ToNativePath(Path("corners.msh"))));
        QVERIFY(!GridMesh(3, 3, 0.0).SaveToFile(ToNativePath(Path("big.MSH"))));
        WriteFileBytes(Path("corners.txt"), ReadFileBytes(Path("corners.msh")));

        // A wrong extension is refused without a word, a wrong size with one.
        Capture->SideAnswer = 0;
        for (const char* name : {"corners.txt", "big.MSH"}) {
            Capture->OpenAnswer = Path(name);
            Key(Qt::Key_L);
        }
        QCOMPARE(Capture->DialogTitles.last(), ApplicationTitle() + " - load left mesh");
        QCOMPARE(Capture->DialogFilters.last(), QString("MSH - Quorvix definition mesh (*.msh)"));
        QCOMPARE(Capture->Messages.size(), size_t(1));
        QVERIFY(SameNodes(Mesh(true), *TMeshDefs().Data));
        QCOMPARE(Stored(Project()->Record()->Common().LeftDefs), QString("NewMesh1.Msh"));
        QVERIFY(!Project()->IsModified());
        Capture->OpenAnswer = Path("corners.msh");
        Item("MILoadMesh")->trigger();
        QVERIFY(SameNodes(Mesh(true), corners));
        QCOMPARE(Stored(Project()->Record()->Common().LeftDefs), Path("corners.msh"));
        QVERIFY(Project()->IsModified());

        // "Save project", No: no project file, but the named mesh is written
        // and the new one asked for.
        const QByteArray meshBytes = ReadFileBytes(Path("corners.msh"));
        WriteFileBytes(Path("corners.msh"), "spoilt");
        const int dialogs = Capture->DialogTitles.size();
        Capture->Answers = {QMessageBox::No, QMessageBox::No};
        Action("SBSaveProj")->trigger();
        QCOMPARE(Capture->Questions,
                 QStringList({"Save changes to Untitled1.Prj?", "Save changes to NewMesh2.Msh?"}));
        QCOMPARE(Capture->DialogTitles.size(), dialogs);
        QCOMPARE(ReadFileBytes(Path("corners.msh")), meshBytes);
        QVERIFY(!Project()->HasFile());

        // "Save mesh" of the never-saved right mesh asks, then saves it as.
        Capture->Questions.clear();
        Capture->SideAnswer = 1;
        Capture->Answer = QMessageBox::Yes;
        Capture->SaveAnswer = Path("right.msh");
        Item("MISaveMesh")->trigger();
        QCOMPARE(Capture->Questions, QStringList({"Save changes to NewMesh2.Msh?"}));
        QCOMPARE(Capture->DialogTitles.last(), ApplicationTitle() + " - save right mesh");
        QCOMPARE(Capture->DialogStarts.last(), ProgramFolder() + "Data/NewMesh2.Msh");
        TMeshDefsData back(2, 2);
        QVERIFY(!back.LoadFromFile(ToNativePath(Path("right.msh")), false));
        QVERIFY(SameNodes(back, Mesh(false)));
        QCOMPARE(Stored(Project()->Record()->Common().RightDefs), Path("right.msh"));
    }

    void picturesPreviewsResultPictureAndInfo()
    {
        CopyDemo();
        Action("NewProject1")->trigger();
        TMeshEditForm* project = Project();
        // A wrong extension: code 9, nothing changes.
        Capture->SideAnswer = 1;
        Capture->OpenAnswer = Path("demo_end.txt");
        Item("MILoadPict")->trigger();
        QCOMPARE(Capture->SideQuestions, QStringList({"Image select"}));
        QCOMPARE(Capture->DialogTitles.last(), ApplicationTitle() + " - load right image");
        QCOMPARE(Capture->DialogStarts.last(), ProgramFolder() + "Data/");
        QCOMPARE(Capture->DialogFilters.last(), QString::fromLatin1(kOpenPictureFilter));
        QCOMPARE(Capture->Messages.size(), size_t(1));
        QCOMPARE(Capture->Messages.back().Code, 9);
        QVERIFY(!project->MeshPanes()->HasPicture(false));
        QVERIFY(!project->IsModified());

        Capture->SideAnswers = {0, 1};
        for (const char* name : {"demo_start.bmp", "demo_end.bmp"}) {
            Capture->OpenAnswer = Path(name);
            Item("MILoadPict")->trigger();
        }
        QCOMPARE(Stored(project->Record()->Common().LeftPicture), Path("demo_start.bmp"));
        QCOMPARE(Stored(project->Record()->Common().RightPicture), Path("demo_end.bmp"));
        QVERIFY(project->IsModified());
        QCOMPARE(project->LeftPictureSize(), QSize(320, 240));

        // A preview warps on a copy of the settings: the record keeps its own.
        const MeshMorphSettings before = project->Record()->Mesh.Morph;
        Action("SBWarpRigh")->trigger();
        QCOMPARE(project->Record()->Mesh.Morph.WarpSide, before.WarpSide);
        QCOMPARE(project->Record()->Mesh.Morph.DoMorph, before.DoMorph);
        const RasterImage& shown = project->ResultForm()->ResuImag()->GetPicture();
        QCOMPARE(QSize(shown.Width(), shown.Height()), QSize(before.ResultWidth, before.ResultHeight));

        // The result picture saved as BMP reads back the same elsewhere.
        Capture->SaveAnswer = Path("result.bmp");
        Item("MISaveResu")->trigger();
        QImage back(Path("result.bmp"));
        QCOMPARE(back.size(), QSize(shown.Width(), shown.Height()));
        const uint8_t* px = shown.Lock();
        const int row = shown.ImageSize / shown.Height();
        for (QPoint p : {QPoint(0, 0), QPoint(80, 50), QPoint(159, 99)}) {
            const uint8_t* b = px + (shown.Height() - 1 - p.y()) * row + 3 * p.x();
            QCOMPARE(back.pixel(p), qRgb(b[2], b[1], b[0]));
        }

        // "&Project Info" shows the mesh project's box.
        Action("ProjectInfo1")->trigger();
        QCOMPARE(Capture->ShownBoxes.size(), 1);
        auto* info = qobject_cast<TMeshInfoForm*>(Capture->ShownBoxes.first());
        QVERIFY(info);
        QCOMPARE(info->windowTitle(), QString("Mesh project info"));
        QCOMPARE(info->LBFileName->text(), QString("Untitled1.Prj"));
        QCOMPARE(info->LBWarpType->text(), QString("MESH"));
        QStringList source, destination;
        for (int k = 0; k < 4; ++k) {
            source << info->LBSource[k]->text();
            destination << info->LBDestination[k]->text();
        }
        QCOMPARE(source, QStringList({"NewMesh1.Msh", "demo_start.bmp", "2", "2"}));
        QCOMPARE(destination, QStringList({"NewMesh2.Msh", "demo_end.bmp", "2", "2"}));
    }

    void theSideQuestionsAndTheInfoBoxAsShown()
    {
        CopyDemo();
        Action("NewProject1")->trigger();
        Dialogs().ChooseSide = nullptr;  // the real dialogs from here on
        Dialogs().ShowBox = nullptr;
        TTwoChoiceForm* images = Form->ImagSeleForm();
        Capture->OpenAnswer = Path("demo_end.bmp");
        QVERIFY(RunWhileOpen(images, [&] {
            QCOMPARE(images->windowTitle(), QString("Image select"));
            QCOMPARE(images->Group->title(), QString(" Which image? "));
            QCOMPARE(images->RBFirst->text(), QString("&Left"));
            QCOMPARE(images->RBSecond->text(), QString("&Right"));
            QCOMPARE(images->BTOK->text() + "|" + images->BTCancel->text(), QString("OK|Cancel"));
            ClickOn(images->RBSecond);
            ClickOn(images->BTOK);
        }, [&] { Item("MILoadPict")->trigger(); }));
        QVERIFY(Project()->MeshPanes()->HasPicture(false) && !Project()->MeshPanes()->HasPicture(true));
        QCOMPARE(Capture->DialogTitles.last(), ApplicationTitle() + " - load right image");

        // Cancel in "Mesh select" ends the command before any file dialog.
        TTwoChoiceForm* meshes = Form->MeshSeleForm();
        const int dialogs = Capture->DialogTitles.size();
        QVERIFY(RunWhileOpen(meshes, [&] {
            QCOMPARE(meshes->windowTitle(), QString("Mesh select"));
            QCOMPARE(meshes->Group->title(), QString(" Which mesh? "));
            ClickOn(meshes->BTCancel);
        }, [&] { Item("MISaveMeshAs")->trigger(); }));
        QCOMPARE(Capture->DialogTitles.size(), dialogs);

        TMeshInfoForm* info = Form->MeshInfoForm();
        QVERIFY(RunWhileOpen(info, [&] {
            QCOMPARE(info->LBDestination[1]->text(), QString("demo_end.bmp"));
            QCOMPARE(info->findChild<QPushButton*>("BTOK")->text(), QString("&OK"));
            ClickOn(info->findChild<QPushButton*>("BTOK"));
            QVERIFY(!info->isVisible());
        }, [&] { Action("ProjectInfo1")->trigger(); }));
    }

    void morphingKeepsRefusedValuesAndReportsTheFramesWritten()
    {
        QVERIFY(Form->OpenProjectFile(CopyDemo()));
        TSettForm* dialog = Form->MeshSettForm();
        const QString out = Path("frames");
        QVERIFY(QDir().mkpath(out));
        // An OK that fails its check, then Cancel: no animation, the values stay.
        QVERIFY(RunWhileOpen(dialog, [&] {
            TypeInto(dialog->findChild<QLineEdit*>("EDOutpPath"), out);
            TypeInto(dialog->findChild<QLineEdit*>("EDResuPictWidt"), "64");
            TypeInto(dialog->findChild<QLineEdit*>("EDResuPictHeig"), "48");
            ClickOn(dialog->findChild<QRadioButton*>("RBTypeBMP_"));
            dialog->Tabs->setCurrentIndex(1);
            ClickOn(dialog->findChild<QRadioButton*>("RBToDoAnim"));
            TypeInto(dialog->findChild<QSpinBox*>("SETotaFram"), "3");
            TypeInto(dialog->findChild<QSpinBox*>("SEFirsFram"), "1");
            TypeInto(dialog->findChild<QSpinBox*>("SELastFram"), "4");
            TypeInto(dialog->findChild<QSpinBox*>("SECurrFram"), "1");
            ClickOn(dialog->BTOK);
            QVERIFY(dialog->isVisible());
        }, [&] { Item("MIMorphing")->trigger(); }));
        const MeshMorphSettings& m = Project()->Record()->Mesh.Morph;
        QCOMPARE(QString("%1 %2 %3").arg(m.TotalFrames).arg(m.LastFrame).arg(m.ResultWidth), QString("3 4 64"));
        QVERIFY(QDir(out).entryList(QDir::Files).isEmpty());

        QVERIFY(RunWhileOpen(dialog, [&] {
            dialog->Tabs->setCurrentIndex(1);
            TypeInto(dialog->findChild<QSpinBox*>("SELastFram"), "3");
            ClickOn(dialog->BTOK);
            QVERIFY2(!dialog->isVisible(), qPrintable(Capture->LastText()));
        }, [&] { Item("MIMorphing")->trigger(); }));
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList({"demo1.BMP", "demo2.BMP", "demo3.BMP"}));
        QLabel* message = Form->findChild<QLabel*>("PNMessage");
        QCOMPARE(message->text(), "3 frames written to " + out + "/");
        // A movie is named as such.
        Project()->Record()->Mesh.Morph.OutputType = 2;
        Action("SBGeneAnim")->trigger();
        QCOMPARE(message->text(), "3 frames written to the movie " + out + "/demo.AVI");
        QProcess probe;
        probe.start("ffprobe", {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                                "stream=nb_read_frames,width,height", "-of", "csv=p=0", out + "/demo.AVI"});
        QVERIFY(probe.waitForFinished(30000));
        QCOMPARE(QString::fromLatin1(probe.readAllStandardOutput()).trimmed(), QString("64,48,3"));
        // The next run that fails says nothing of the last one.
        Project()->Record()->Mesh.Morph.OutputPath.Set(ToNativePath(Path("missing/folder")));
        Action("SBGeneAnim")->trigger();
        QCOMPARE(message->text(), QString());
        QVERIFY(Capture->LastText().contains(Path("missing/folder")));
        QCOMPARE(QImage(out + "/demo3.BMP").size(), QSize(64, 48));
    }
};

QTEST_MAIN(TestMeshEditForm)
#include "tst_mesh_edit_form.moc"
