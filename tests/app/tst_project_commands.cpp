// Project commands of the main window: open with its refusals, new projects
// saved byte for byte, activation of the commands, a result window standing
// for its project, and the close query.
#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/project_form.h"
#include "app/mesh_resu_form.h"
#include "app/main_morf_form.h"
#include "app/program_folder.h"
#include "app/gui_capture.h"
#include "mesh/mesh_defs.h"
#include "node/node_defs.h"
#include "project/project_file.h"
#include "views/program_state.h"

namespace {
// A project window that records what the main window asks of it.
class RecordingProject : public TEditAnceForm {
public:
    explicit RecordingProject(ProjectKind kind)
        : TEditAnceForm(kind == ProjectKind::Mesh ? kMeshProjectWindow : kNodeProjectWindow)
    {
        SetNewProjectDefaults(Rec, kind, "/tmp/", "a.msh", "b.msh");
    }
    ProjectRecord* Record() override { return &Rec; }
    void MarkModified() override { ++Modifications; }
    void MorfOne_(int frame) override { Calls << QStringLiteral("MorfOne_ %1").arg(frame); }
    void WarpLeft(int frame) override { Calls << QStringLiteral("WarpLeft %1").arg(frame); }
    void WarpRigh(int frame) override { Calls << QStringLiteral("WarpRigh %1").arg(frame); }
    void SaveProject1Click() override { Calls << QStringLiteral("Save"); }
    void ShowFlagsChanged() override { Calls << QStringLiteral("ShowFlags"); }
    ProjectRecord Rec;
    int Modifications = 0;
    QStringList Calls;
};

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(static_cast<char>(v));
    return b;
}
}  // namespace

class TestProjectCommands : public QObject {
    Q_OBJECT

    std::unique_ptr<GuiCapture> Capture;
    std::unique_ptr<TMainMorfForm> Form;
    std::unique_ptr<QTemporaryDir> Dir;

    QAction* Action(const char* name) { return Form->findChild<QAction*>(QString::fromLatin1(name)); }
    // Project windows in the MDI area (each has its result window beside it).
    int Children()
    {
        int n = 0;
        for (QMdiSubWindow* sub : Form->MdiArea()->subWindowList())
            n += qobject_cast<TProjectForm*>(sub->widget()) != nullptr;
        return n;
    }
    QString Path(const QString& name) { return Dir->path() + "/" + name; }
    void Flush()
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    // A project file written by the core with some fields changed.
    QString WriteProject(const QString& name, ProjectKind kind, void (*edit)(ProjectRecord&))
    {
        ProjectRecord r;
        SetNewProjectDefaults(r, kind, "/out/", "l.msh", "r.msh");
        edit(r);
        const QString file = Path(name);
        if (SaveProj(ToNativePath(file), r))
            return QString();
        // The meshes or node sets it names, beside it.
        if (kind == ProjectKind::Mesh) {
            TMeshDefs mesh;
            for (const char* m : {"l.msh", "r.msh"})
                if (mesh.Data->SaveToFile(ToNativePath(Path(m))))
                    return QString();
        } else {
            TNodeDefsData nodes(3);
            for (int i = 0; i < 3; ++i)
                nodes.SetNode(i, NodePoint{0.25 * (i + 1), 0.5});
            for (const char* m : {"l.msh", "r.msh"})
                if (nodes.SaveToFile(ToNativePath(Path(m))))
                    return QString();
        }
        return file;
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
        // Close whatever is left without questions getting in the way.
        Capture->Answer = QMessageBox::No;
        Form.reset();
        Dir.reset();
        Capture.reset();
    }

    void openRefusalsShowTheirMessagesAndCreateNoWindow()
    {
        const QString wrongExt = Path("x.txt");
        WriteFileBytes(wrongExt, QByteArray(1730, '\0'));
        QByteArray spaced("MESH PROJECT FILE");
        spaced.append(QByteArray(13, ' '));
        spaced.append(QByteArray(1700, '\0'));
        const QString unknown = Path("spaces.prj");
        WriteFileBytes(unknown, spaced);
        QByteArray shortFile("MESH PROJECT FILE");
        shortFile.append(QByteArray(13 + 1699, '\0'));  // one byte short of 1730
        const QString tooShort = Path("short.prj");
        WriteFileBytes(tooShort, shortFile);
        const QString missing = Path("missing.prj");

        const std::pair<QString, QString> cases[] = {
            {wrongExt, "Error: A project file name ends in \".prj\": " + wrongExt},
            {unknown, "Error: Unkwown type of file " + unknown},
            {missing, "Error: Error opening file " + missing},
            {tooShort, "Error: Error reading from file: " + tooShort},
        };
        for (const auto& [file, text] : cases) {
            Capture->OpenAnswer = file;
            Action("OpenProject1")->trigger();
            QCOMPARE(Capture->LastText(), text);
            QCOMPARE(Capture->Messages.back().Caption, std::string("Error"));
            QCOMPARE(Children(), 0);
        }
        QCOMPARE(int(Capture->Messages.size()), 4);
        QCOMPARE(Capture->DialogTitles.first(), ApplicationTitle() + " - open project");
        QCOMPARE(Capture->DialogStarts.first(), ProgramFolder() + "Data/");
        QCOMPARE(Capture->DialogFilters.first(), QString("PRJ - Quorvix project file (*.prj)"));
        QVERIFY(!Action("SBSaveProj")->isEnabled());

        // Cancelling the dialog does nothing at all.
        Capture->OpenAnswer.clear();
        Action("OpenProject1")->trigger();
        QCOMPARE(int(Capture->Messages.size()), 4);
        QCOMPARE(Children(), 0);
    }

    void openAcceptsUpperCaseExtensionAndTakesTheRecord()
    {
        const QString file = WriteProject("demo.PRJ", ProjectKind::Node, [](ProjectRecord& r) {
            r.Node.Morph.TotalFrames = 40;
            r.Node.Morph.CurrentFrame = 17;
        });
        QVERIFY(!file.isEmpty());
        Capture->OpenAnswer = file;
        Action("OpenProject1")->trigger();
        QVERIFY(Capture->Messages.empty());
        QCOMPARE(Children(), 1);
        auto* project = qobject_cast<TProjectForm*>(Form->ActiveProject());
        QVERIFY(project);
        QCOMPARE(project->windowTitle(), QString("demo.PRJ"));
        QCOMPARE(project->WindowKind, uint8_t(kNodeProjectWindow));
        QCOMPARE(project->ProjectName(), file);
        QVERIFY(project->HasFile());
        QCOMPARE(project->Record()->Node.Morph.CurrentFrame, 17);
        QCOMPARE(project->Record()->Common().LeftDefs.Get(), std::string("l.msh"));
        // Opening takes no default names.
        QCOMPARE(Form->New_ProjName(), QString("Untitled1.Prj"));
    }

    void newMeshProjectSavedAtOnceHasTheDefaultBytes()
    {
        Capture->WarpMethod = 0;
        Action("NewProject1")->trigger();
        auto* project = qobject_cast<TProjectForm*>(Form->ActiveProject());
        QVERIFY(project);
        // Yes for the project, No for each mesh never saved.
        Capture->Answers = {QMessageBox::Yes, QMessageBox::No, QMessageBox::No};
        Capture->SaveAnswer = Path("mesh.prj");
        Action("SBSaveProj")->trigger();
        QCOMPARE(Capture->Questions, QStringList({"Save changes to Untitled1.Prj?", "Save changes to NewMesh1.Msh?",
                                                  "Save changes to NewMesh2.Msh?"}));
        QCOMPARE(Capture->DialogTitles.last(), ApplicationTitle() + " - save project as ...");
        QCOMPARE(Capture->DialogStarts.last(), ProgramFolder() + "Data/Untitled1.Prj");

        const QByteArray file = ReadFileBytes(Path("mesh.prj"));
        QCOMPARE(file.size(), 1730);
        QCOMPARE(file.left(30), QByteArray("MESH PROJECT FILE") + QByteArray(13, '\0'));
        QCOMPARE(file.mid(30, 4), Bytes({0, 0, 0, 0}));
        QCOMPARE(file.mid(30 + 1088, 4), Bytes({0x00, 0x01, 0x00, 0x01}));
        QCOMPARE(file.mid(30 + 1088 + 280, 4), Bytes({0x03, 0x4F, 0x75, 0x74}));
        QCOMPARE(file.mid(30 + 568, 13), QByteArray("\x0cNewMesh1.Msh"));
        QCOMPARE(file.mid(30 + 1636 + 26, 6), Bytes({0x82, 0, 0, 0, 0, 0}));  // zoom-in factor 2.0
        QCOMPARE(file.mid(30 + 1088 + 24 + 1, ProgramFolder().size()), ProgramFolder().toUtf8());

        QCOMPARE(project->windowTitle(), QString("mesh.prj"));
        QVERIFY(project->HasFile());
        QVERIFY(!project->IsModified());
        // Saved and unchanged: closing asks only about the meshes never saved.
        Capture->Questions.clear();
        QVERIFY(Form->MdiArea()->currentSubWindow()->close());
        QCOMPARE(Capture->Questions, QStringList({"Save changes to NewMesh1.Msh?", "Save changes to NewMesh2.Msh?"}));
    }

    void newNodeProjectSavedAtOnceHasTheDefaultBytes()
    {
        Capture->WarpMethod = 1;
        Action("NewProject1")->trigger();
        // Yes for the project, No for each node file never saved.
        Capture->Answers = {QMessageBox::Yes, QMessageBox::No, QMessageBox::No};
        Capture->SaveAnswer = Path("node.prj");
        Action("SBSaveProj")->trigger();
        QCOMPARE(Capture->Questions, QStringList({"Save changes to Untitled1.Prj?", "Save changes to NewMesh1.Msh?",
                                                  "Save changes to NewMesh2.Msh?"}));
        const QByteArray file = ReadFileBytes(Path("node.prj"));
        QCOMPARE(file.size(), 1734);
        QCOMPARE(file.left(18), QByteArray("NODE PROJECT FILE") + QByteArray(1, '\0'));
        QCOMPARE(file.mid(30 + 1088, 4), Bytes({0x01, 0x01, 0x00, 0x01}));
        QCOMPARE(file.mid(30 + 1088 + 4, 4), Bytes({50, 0, 0, 0}));
        QCOMPARE(file.mid(30 + 1088 + 8, 6), Bytes({0x81, 0x00, 0x00, 0x00, 0x00, 0x80}));
        QCOMPARE(file.mid(30 + 1088 + 292, 4), Bytes({0x03, 0x4F, 0x75, 0x74}));

        // Saved again under its name: no dialog, and questions only about
        // the node files still never saved.
        const int dialogs = Capture->DialogTitles.size();
        Capture->Questions.clear();
        Capture->Answers = {QMessageBox::No, QMessageBox::No};
        auto* project = qobject_cast<TProjectForm*>(Form->ActiveProject());
        project->MarkModified();
        Action("SBSaveProj")->trigger();
        QCOMPARE(Capture->Questions,
                 QStringList({"Save changes to NewMesh1.Msh?", "Save changes to NewMesh2.Msh?"}));
        QCOMPARE(Capture->DialogTitles.size(), dialogs);
        QVERIFY(!project->IsModified());
    }

    void saveAnsweredNoOrCancelWritesNothing()
    {
        Capture->WarpMethod = 0;
        Action("NewProject1")->trigger();
        Capture->SaveAnswer = Path("never.prj");
        for (auto answer : {QMessageBox::No, QMessageBox::Cancel}) {
            Capture->Answer = answer;
            Action("SBSaveProj")->trigger();
        }
        // No goes on to the meshes (No again for each); Cancel ends at once.
        QCOMPARE(Capture->Questions,
                 QStringList({"Save changes to Untitled1.Prj?", "Save changes to NewMesh1.Msh?",
                              "Save changes to NewMesh2.Msh?", "Save changes to Untitled1.Prj?"}));
        QVERIFY(Capture->DialogTitles.isEmpty());
        QVERIFY(!QFile::exists(Path("never.prj")));
    }

    void activationSetsTheCommandsFromTheRecord()
    {
        const QString meshFile = WriteProject("m.prj", ProjectKind::Mesh, [](ProjectRecord& r) {
            r.Common().Tool = 3;
            r.Mesh.Morph.TotalFrames = 12;
            r.Mesh.Morph.CurrentFrame = 7;
            r.Mesh.View.ShowLines = 0;
            r.Mesh.View.ShowSplines = 1;
        });
        QVERIFY(Form->OpenProjectFile(meshFile));
        auto* mesh = qobject_cast<TProjectForm*>(Form->ActiveProject());
        QVERIFY(mesh);
        for (const char* name : {"SBSaveProj", "SBLoadLeft", "SBLoadRigh", "ProjectInfo1", "SBEdit", "SBDelete__",
                                 "SBShowLine", "SBShowSpli", "SBWarpLeft", "SBMorf", "SBWarpRigh", "SBGeneAnim"})
            QVERIFY2(Action(name)->isEnabled(), name);
        QVERIFY(!Action("Index1")->isEnabled());
        QSpinBox* spin = Form->FrameSpinEdit();
        QVERIFY(spin->isEnabled());
        QCOMPARE(spin->maximum(), 12);
        QCOMPARE(spin->value(), 7);
        QVERIFY(Action("SBZoomAll_")->isChecked());
        QCOMPARE(MeshTool, uint8_t(3));
        QCOMPARE(ResultTool, uint8_t(2));
        QVERIFY(!Action("SBShowLine")->isChecked());
        QVERIFY(Action("SBShowSpli")->isChecked());
        QCOMPARE(Action("SBShowLine")->toolTip(), QString("Show lines"));
        // Activation alone changes nothing in the project.
        QVERIFY(!mesh->IsModified());

        const QString nodeFile = WriteProject("n.prj", ProjectKind::Node, [](ProjectRecord& r) {
            r.Common().Tool = 1;
            r.Node.Morph.TotalFrames = 3;
            r.Node.Morph.CurrentFrame = 2;
        });
        QVERIFY(Form->OpenProjectFile(nodeFile));
        auto* node = qobject_cast<TProjectForm*>(Form->ActiveProject());
        QVERIFY(node && node != mesh);
        QCOMPARE(spin->maximum(), 3);
        QCOMPARE(spin->value(), 2);
        QCOMPARE(NodeTool, uint8_t(1));
        QCOMPARE(ResultTool, uint8_t(0));
        QVERIFY(!Action("SBEdit")->actionGroup()->checkedAction());  // delete presses no button
        QCOMPARE(Action("SBShowLine")->toolTip(), QString("Show points"));
        QCOMPARE(Action("SBShowSpli")->toolTip(), QString("Show radii"));
        QVERIFY(Action("SBShowLine")->isChecked());
        QVERIFY(!Action("SBShowSpli")->isChecked());
        QVERIFY(!node->IsModified());
        QVERIFY(!mesh->IsModified());

        // Back to the mesh project: its state again.
        Form->MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(mesh->parentWidget()));
        QCOMPARE(Form->ActiveProject(), mesh);
        QCOMPARE(spin->maximum(), 12);
        QCOMPARE(spin->value(), 7);
        QCOMPARE(Action("SBShowLine")->toolTip(), QString("Show lines"));
        QVERIFY(!mesh->IsModified());

        // Closing both leaves the project commands disabled.
        Capture->Answer = QMessageBox::No;
        Form->MdiArea()->closeAllSubWindows();
        Flush();
        QCOMPARE(Children(), 0);
        for (const char* name : {"SBSaveProj", "ProjectInfo1", "SBEdit", "SBShowLine", "SBMorf", "SBGeneAnim"})
            QVERIFY2(!Action(name)->isEnabled(), name);
        QVERIFY(!spin->isEnabled());
        QVERIFY(Action("NewProject1")->isEnabled());
    }

    void commandsWriteIntoTheActiveProject()
    {
        auto* project = new RecordingProject(ProjectKind::Mesh);
        Form->AddChild(project);
        QCOMPARE(Form->ActiveProject(), project);
        QCOMPARE(Form->FrameSpinEdit()->value(), 5);
        QCOMPARE(project->Modifications, 0);

        Form->FrameSpinEdit()->setValue(3);
        QCOMPARE(project->Rec.Mesh.Morph.CurrentFrame, 3);
        QCOMPARE(project->Modifications, 1);

        Action("SBHandMove")->trigger();
        QCOMPARE(project->Rec.Common().Tool, uint8_t(4));
        QCOMPARE(MeshTool, uint8_t(4));
        QCOMPARE(ResultTool, uint8_t(3));
        Action("SBDelete__")->trigger();
        QCOMPARE(project->Rec.Common().Tool, uint8_t(1));
        QCOMPARE(ResultTool, uint8_t(0));
        QCOMPARE(project->Modifications, 3);

        Action("SBShowSpli")->trigger();
        QCOMPARE(project->Rec.Mesh.View.ShowSplines, uint8_t(1));
        Action("SBShowLine")->trigger();
        QCOMPARE(project->Rec.Mesh.View.ShowLines, uint8_t(0));
        QCOMPARE(project->Modifications, 5);
        QCOMPARE(project->Calls.count("ShowFlags"), 2);
    }

    void resultWindowStandsForItsProject()
    {
        auto* project = new RecordingProject(ProjectKind::Node);
        project->Rec.Common().Tool = 2;
        Form->AddChild(project);
        QVERIFY(Action("SBZoomIn__")->isChecked());
        QCOMPARE(NodeTool, uint8_t(2));
        QCOMPARE(ResultTool, uint8_t(1));
        auto* result = new TEditAnceForm(kNodeResultWindow);
        result->SetProjectOwner(project);
        QMdiSubWindow* resultSub = Form->AddChild(result);
        QCOMPARE(Form->MdiArea()->currentSubWindow(), resultSub);
        QCOMPARE(Form->ActiveProject(), project);
        QVERIFY(Action("SBMorf")->isEnabled());

        Form->FrameSpinEdit()->setValue(4);
        Action("SBMorf")->trigger();
        Action("SBWarpLeft")->trigger();
        Action("SBWarpRigh")->trigger();
        Action("SBSaveProj")->trigger();
        QCOMPARE(project->Calls, QStringList({"MorfOne_ 4", "WarpLeft 4", "WarpRigh 4", "Save"}));
        QCOMPARE(project->Rec.Node.Morph.CurrentFrame, 4);
    }

    void closeQueryKeepsUnsavedWorkUnlessToldOtherwise()
    {
        Capture->WarpMethod = 0;
        Action("NewProject1")->trigger();
        QMdiSubWindow* sub = Form->MdiArea()->currentSubWindow();

        Capture->Answer = QMessageBox::Cancel;
        QVERIFY(!sub->close());
        QCOMPARE(Children(), 1);

        // Yes, but the save dialog is cancelled: the window stays.
        Capture->Answer = QMessageBox::Yes;
        Capture->SaveAnswer.clear();
        QVERIFY(!sub->close());
        QCOMPARE(Children(), 1);

        // Yes with a name: saved, then each new mesh saved under its own
        // name, and the project file names them.
        Capture->SaveAnswers = {Path("kept.prj"), Path("left.msh"), Path("right.msh")};
        QVERIFY(sub->close());
        QCOMPARE(ReadFileBytes(Path("kept.prj")).size(), 1730);
        QCOMPARE(Capture->Questions.size(), 5);
        QCOMPARE(Capture->DialogTitles.mid(1),
                 QStringList({ApplicationTitle() + " - save project as ...", ApplicationTitle() + " - save left mesh",
                              ApplicationTitle() + " - save right mesh"}));
        QCOMPARE(Capture->DialogStarts.last(), ProgramFolder() + "Data/NewMesh2.Msh");
        QCOMPARE(ReadFileBytes(Path("kept.prj")).mid(30 + 568, 1 + Path("left.msh").size()),
                 char(Path("left.msh").size()) + Path("left.msh").toUtf8());
        QVERIFY(ReadFileBytes(Path("right.msh")).startsWith("MESH DEFINITION FILE"));

        // A saved project changed later asks with its path; its meshes are unchanged.
        QVERIFY(Form->OpenProjectFile(Path("kept.prj")));
        QVERIFY(Capture->Messages.empty());
        Form->FrameSpinEdit()->setValue(2);
        Capture->Questions.clear();
        Capture->Answer = QMessageBox::No;
        QVERIFY(Form->MdiArea()->currentSubWindow()->close());
        QCOMPARE(Capture->Questions, QStringList({"Save changes to " + Path("kept.prj") + "?"}));
    }

    void mainWindowClosesOnlyWhenEveryProjectAgrees()
    {
        Capture->WarpMethod = 0;
        Action("NewProject1")->trigger();
        Action("NewProject1")->trigger();
        Capture->Answer = QMessageBox::Cancel;
        QVERIFY(!Form->close());
        QCOMPARE(Children(), 2);
        Capture->Answer = QMessageBox::No;
        QVERIFY(Form->close());
        Flush();
        QCOMPARE(Children(), 0);
    }

    void eachProjectHasAResultWindowThatComesForwardWithIt()
    {
        Capture->WarpMethod = 0;
        Action("NewProject1")->trigger();
        auto* mesh = qobject_cast<TProjectForm*>(Form->ActiveProject());
        QVERIFY(mesh);
        auto* meshResult = qobject_cast<TMeshResuForm*>(mesh->ResultWindow());
        QVERIFY(meshResult);
        QCOMPARE(meshResult->windowTitle(), QString("Result"));
        QCOMPARE(int(meshResult->WindowKind), 2);
        QCOMPARE(meshResult->Project(), static_cast<TEditAnceForm*>(mesh));
        QCOMPARE(meshResult->minimumSize(), QSize(89, 84));
        QCOMPARE(meshResult->size(), QSize(160, 100));  // the stored result size of a new project

        Capture->WarpMethod = 1;
        Action("NewProject1")->trigger();
        auto* node = qobject_cast<TProjectForm*>(Form->ActiveProject());
        QVERIFY(node && node != mesh);
        auto* nodeResult = qobject_cast<TNodeResuForm*>(node->ResultWindow());
        QVERIFY(nodeResult);
        QCOMPARE(int(nodeResult->WindowKind), 3);

        // Activating the mesh result window makes the mesh project current and
        // puts both of its windows above the node project's.
        Form->MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(meshResult->parentWidget()));
        QCoreApplication::processEvents();
        QCOMPARE(Form->ActiveProject(), static_cast<TEditAnceForm*>(mesh));
        const QList<QMdiSubWindow*> order = Form->MdiArea()->subWindowList(QMdiArea::StackingOrder);
        QCOMPARE(order.size(), 4);
        QCOMPARE(order.at(3)->widget(), static_cast<QWidget*>(meshResult));
        QCOMPARE(order.at(2)->widget(), static_cast<QWidget*>(mesh));

        // The pixel read-out of a result view lands in status panel 0.
        emit meshResult->ResuImag()->StatusText("Pixel: (1, 2)");
        auto* status = Form->findChild<QLabel*>("PNStatus");
        QVERIFY(status);
        QCOMPARE(status->text(), QString("Pixel: (1, 2)"));

        // Closing a result window asks its project; No closes both.
        Capture->Answer = QMessageBox::No;
        Capture->Questions.clear();
        QVERIFY(!meshResult->parentWidget()->close());
        QTRY_COMPARE(Capture->Questions, QStringList({"Save changes to Untitled1.Prj?", "Save changes to NewMesh1.Msh?",
                                                      "Save changes to NewMesh2.Msh?"}));
        Flush();
        Flush();
        QCOMPARE(Children(), 1);
        QCOMPARE(Form->MdiArea()->subWindowList().size(), 2);
        QVERIFY(node->parentWidget()->close());
        Flush();
        Flush();
        QVERIFY(Form->MdiArea()->subWindowList().isEmpty());
    }
};

QTEST_MAIN(TestProjectCommands)
#include "tst_project_commands.moc"
