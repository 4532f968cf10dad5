// The node project window as a user drives it: its menus and show toggles,
// node projects that take turns at the node warp's parameters, a right node
// file that does not fit, resizing without a question at closing, nodes added
// with the mouse and saved with the project, and the information box.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/gui_capture.h"
#include "app/main_morf_form.h"
#include "app/mesh_info_form.h"
#include "app/node_edit_form.h"
#include "app/node_panes.h"
#include "app/program_folder.h"
#include "app/resu_form.h"
#include "app/envi_form.h"
#include "app/sett_form.h"
#include "node/node_warp.h"
#include "project/project_file.h"
#include "views/node_imag.h"
#include "views/program_state.h"

namespace {

// count nodes along a slanted line, shifted so that sets of one count differ.
TNodeDefsData LineNodes(int32_t count, double shift)
{
    TNodeDefsData d(count);
    for (int32_t i = 0; i < count; ++i)
        d.SetNode(i, {0.2 + 0.6 * i / std::max(1, count - 1), 0.3 + 0.1 * i + shift});
    return d;
}

bool SameNodes(const TNodeDefsData& a, const TNodeDefsData& b)
{
    return a.Count == b.Count && a.X == b.X && a.Y == b.Y;
}

QByteArray PixelsOf(const RasterImage& p)
{
    return p.Allocated ? QByteArray(reinterpret_cast<const char*>(p.Lock()), p.ImageSize) : QByteArray();
}

}  // namespace

class TestNodeEditForm : public QObject {
    Q_OBJECT
    std::unique_ptr<GuiCapture> Capture;
    std::unique_ptr<TMainMorfForm> Form;
    std::unique_ptr<QTemporaryDir> Dir;

    QString Path(const QString& name) { return Dir->filePath(name); }
    TNodeEditForm* Project() { return qobject_cast<TNodeEditForm*>(Form->ActiveProject()); }
    QAction* Action(const char* name) { return Form->findChild<QAction*>(QString::fromLatin1(name)); }
    QAction* Item(const char* name) { return Project()->findChild<QAction*>(QString::fromLatin1(name)); }
    QMdiSubWindow* Sub(QWidget* w) { return qobject_cast<QMdiSubWindow*>(w->parentWidget()); }
    TNodeDefsData& Nodes(bool left) { return Project()->View(left)->Nodes.Data; }
    QString Stored(const ShortName& n) { return QString::fromStdString(n.Get()); }
    void Flush() { FlushDeletes(); }
    void Activate(TNodeEditForm* project)
    {
        Form->MdiArea()->setActiveSubWindow(Sub(project));
        QCOMPARE(Project(), project);
    }
    QString CopyDemo()
    {
        CopyDemoData(*Dir);
        return Path("demo_node.prj");
    }
    // A node project of the demo pictures naming the node files given, with
    // radii shown, small frames and that radius and warp method.
    QString WriteProject(const QString& name, const QString& left, const QString& right, int32_t radius,
                         uint8_t method = 0)
    {
        return WriteDemoProject(*Dir, name, ProjectKind::Node, left, right, [&](ProjectRecord& r) {
            r.Node.Morph.WarpMethod = method;
            r.Node.Morph.Radius = radius;
            r.Node.Morph.ResultWidth = 64;
            r.Node.Morph.ResultHeight = 48;
            r.Node.View.ShowRadii = 1;
        });
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

    void newNodeProjectHasTheMenusShowTogglesAndDialogs()
    {
        Capture->WarpMethod = 1;
        Action("NewProject1")->trigger();
        TNodeEditForm* project = Project();
        QVERIFY(project);
        QCOMPARE(project->WindowKind, uint8_t(kNodeProjectWindow));
        QCOMPARE(project->ResultForm()->WindowKind, uint8_t(kNodeResultWindow));
        QCOMPARE(project->ResultForm()->windowTitle(), QString("Result"));
        QCOMPARE(project->windowTitle(), QString("Untitled1.Prj"));
        // The new-project layout of every pair window.
        QCOMPARE(project->size(), QSize(709, 232));
        QCOMPARE(project->ResultForm()->size(), QSize(160, 100));
        QCOMPARE(project->NodePanes()->Pane(true)->width(), 348 + 4);
        const QStringList merged = {"&File", "&View", "&Run", "&Settings", "&Window", "&Help"};
        QStringList titles;
        for (QAction* a : Form->menuBar()->actions())
            titles << a->text();
        QCOMPARE(titles, merged);
        // The result window lends the same menus.
        QMenu* file = Form->menuBar()->actions().at(0)->menu();
        QCOMPARE(file->parent(), static_cast<QObject*>(project));
        Form->MdiArea()->setActiveSubWindow(Sub(project->ResultForm()));
        QStringList resultTitles;
        for (QAction* a : Form->menuBar()->actions())
            resultTitles << a->text();
        QCOMPARE(resultTitles, merged);
        QCOMPARE(Form->menuBar()->actions().at(0)->menu(), file);
        Activate(project);
        // The same "&File" as a mesh project's, item by item.
        const QStringList items = MenuItems(Form->menuBar()->actions().at(0)->menu());
        QCOMPARE(items.size(), 11);
        QCOMPARE(items.at(6), QString("Load &mesh|Ctrl+L"));
        Capture->WarpMethod = 0;
        Action("NewProject1")->trigger();
        QCOMPARE(MenuItems(Form->menuBar()->actions().at(0)->menu()), items);
        Capture->Answer = QMessageBox::No;
        QVERIFY(Form->MdiArea()->currentSubWindow()->close());
        Flush();
        QCOMPARE(Project(), project);

        // The show toggles are the node ones, down as the defaults say, and
        // reach both views.
        QAction* points = Action("SBShowLine");
        QAction* radii = Action("SBShowSpli");
        QCOMPARE(points->toolTip() + "|" + radii->toolTip(), QString("Show points|Show radii"));
        QVERIFY(!points->icon().isNull() && !radii->icon().isNull());
        QVERIFY(points->isChecked() && !radii->isChecked());
        for (bool left : {true, false}) {
            const TNodeDefs& n = project->View(left)->Nodes;
            QVERIFY(n.ShowPoints && !n.ShowRadii);
            QCOMPARE(n.PointSize, 5);
            QCOMPARE(n.PointColor, project->Record()->Node.View.PointColour);
            QCOMPARE(n.SelectedPointColor, project->Record()->Node.View.SelectedColour);
            QVERIFY(n.PointColor != n.SelectedPointColor);
            QCOMPARE(project->View(left)->GetRadiusMode(), uint8_t(1));
        }
        QVERIFY(!project->IsModified());
        radii->trigger();
        QCOMPARE(project->Record()->Node.View.ShowRadii, uint8_t(1));
        QVERIFY(project->View(true)->Nodes.ShowRadii && project->View(false)->Nodes.ShowRadii);
        QVERIFY(project->IsModified());

        // The tool buttons set the node tool.
        Action("SBDelete__")->trigger();
        QCOMPARE(NodeTool, uint8_t(1));
        QCOMPARE(project->Record()->Common().Tool, uint8_t(1));

        // The settings items open the node dialogs.
        for (auto [dialog, key] : {std::pair<QDialog*, Qt::Key>{Form->NodeSettForm(), Qt::Key_M},
                                   {Form->NodeEnviForm(), Qt::Key_E}}) {
            Form->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(Form.get()));
            QVERIFY(RunWhileOpen(dialog, [] {}, [&] { QTest::keyClick(Form.get(), key, Qt::ControlModifier); }));
        }

        // A project file that cannot be made: the node project's message,
        // and the window stays unsaved.
        Capture->SaveAnswer = Path("no/such/folder/n.prj");
        Item("MISaveProjAs")->trigger();
        QCOMPARE(Capture->LastText(), "Error: Error opening file: " + Path("no/such/folder/n.prj"));
        QVERIFY(!project->HasFile() && project->IsModified());
        QCOMPARE(project->windowTitle(), QString("Untitled1.Prj"));
        Capture->Messages.clear();

        // The information box of a node project.
        CopyDemo();
        Capture->SideAnswers = {0, 1};
        for (const char* name : {"demo_start.bmp", "demo_end.bmp"}) {
            Capture->OpenAnswer = Path(name);
            Item("MILoadPict")->trigger();
        }
        Action("ProjectInfo1")->trigger();
        QCOMPARE(Capture->ShownBoxes.size(), 1);
        auto* info = qobject_cast<TMeshInfoForm*>(Capture->ShownBoxes.first());
        QVERIFY(info && info == Form->NodeInfoForm());
        QCOMPARE(info->windowTitle(), QString("Node project info"));
        QCOMPARE(info->LBWarpType->text(), QString("NODE"));
        QCOMPARE(info->LBFileName->text(), QString("Untitled1.Prj"));
        QStringList source, destination;
        for (int k = 0; k < 3; ++k) {
            source << info->LBSource[k]->text();
            destination << info->LBDestination[k]->text();
        }
        QCOMPARE(source, QStringList({"NewMesh1.Msh", "demo_start.bmp", "0"}));
        QCOMPARE(destination, QStringList({"NewMesh2.Msh", "demo_end.bmp", "0"}));
    }

    void projectsTakeTurnsAtTheNodeWarpParameters()
    {
        TNodeDefsData l = LineNodes(4, 0.0), r = LineNodes(4, 0.08);
        QVERIFY(!l.SaveToFile(ToNativePath(Path("l.msh"))));
        QVERIFY(!r.SaveToFile(ToNativePath(Path("r.msh"))));
        const QString a = WriteProject("a.prj", Path("l.msh"), Path("r.msh"), 30);
        const QString b = WriteProject("b.prj", Path("l.msh"), Path("r.msh"), 300);
        QVERIFY(!a.isEmpty() && !b.isEmpty());

        QVERIFY(Form->OpenProjectFile(a));
        TNodeEditForm* first = Project();
        QCOMPARE(NodeRadius, 30.0);
        QCOMPARE(NodeRadiusMode, uint8_t(0));
        QVERIFY(Form->OpenProjectFile(b));
        TNodeEditForm* second = Project();
        QVERIFY(second != first);
        QCOMPARE(NodeRadius, 300.0);
        // The radii at opening are the project's own, not those of the node
        // project that was active before.
        for (bool left : {true, false})
            for (int i = 0; i < 4; ++i)
                QCOMPARE(second->View(left)->Nodes.Data.Radii[i], 300.0);

        Action("SBWarpLeft")->trigger();
        const QByteArray wide = PixelsOf(second->ResultForm()->ResuImag()->GetPicture());
        Activate(first);
        QCOMPARE(NodeRadius, 30.0);
        Action("SBWarpLeft")->trigger();
        const QByteArray narrow = PixelsOf(first->ResultForm()->ResuImag()->GetPicture());
        QCOMPARE(narrow.size(), 64 * 48 * 3);
        QVERIFY(narrow != wide);
        // After a turn of the other project, the first warps as before.
        Activate(second);
        QCOMPARE(NodeRadius, 300.0);
        Activate(first);
        Action("SBWarpLeft")->trigger();
        QCOMPARE(PixelsOf(first->ResultForm()->ResuImag()->GetPicture()), narrow);
        QVERIFY(Capture->Messages.empty());

        // An OK in the morph settings puts the values typed in force at once,
        // and both views draw the radii for them.
        QVERIFY(QDir().mkpath(Path("out")));
        TNodeSettForm* dialog = Form->NodeSettForm();
        QVERIFY(RunWhileOpen(dialog, [&] {
            for (int k = 0; k < dialog->Tabs->count(); ++k)
                if (dialog->Tabs->widget(k)->isAncestorOf(dialog->SERadi))
                    dialog->Tabs->setCurrentIndex(k);
            TypeInto(dialog->SERadi, "77");
            ClickOn(dialog->BTOK);
        }, [&] { Item("MIMorphing")->trigger(); }));
        QCOMPARE(first->Record()->Node.Morph.Radius, 77);
        QCOMPARE(NodeRadius, 77.0);
        for (bool left : {true, false})
            QCOMPARE(first->View(left)->Nodes.Data.Radii[2], 77.0);
        QCOMPARE(second->View(true)->Nodes.Data.Radii[2], 300.0);
        // The animation ran after the OK, and the status bar says where to.
        const QStringList frames = QDir(Path("out")).entryList(QDir::Files);
        QVERIFY2(Capture->Messages.empty(), qPrintable(Capture->LastText()));
        QVERIFY(!frames.isEmpty());
        QCOMPARE(Form->findChild<QLabel*>("PNMessage")->text(),
                 QString("%1 frames written to %2/").arg(frames.size()).arg(Path("out")));
    }

    void aRightNodeFileOfAnotherCountIsRefusedAtOpening()
    {
        TNodeDefsData l = LineNodes(3, 0.0), r = LineNodes(4, 0.05);
        QVERIFY(!l.SaveToFile(ToNativePath(Path("l.msh"))));
        QVERIFY(!r.SaveToFile(ToNativePath(Path("r.msh"))));
        const QString file = WriteProject("p.prj", Path("l.msh"), Path("r.msh"), 40, 1);
        QVERIFY(Form->OpenProjectFile(file));
        TNodeEditForm* project = Project();
        QVERIFY(project);
        QCOMPARE(int(Capture->Messages.size()), 1);
        QVERIFY(SameNodes(Nodes(true), l));
        QVERIFY(SameNodes(Nodes(false), l));
        const ProjectCommon& c = project->Record()->Common();
        QCOMPARE(Stored(c.LeftDefs), Path("l.msh"));
        QCOMPARE(Stored(c.RightDefs), QString("NewMesh1.Msh"));
        QVERIFY(project->IsModified());
        // Adaptive radii from the nodes themselves, in picture pixels.
        const double dx = (l.X[1] - l.X[0]) * 320, dy = (l.Y[1] - l.Y[0]) * 240;
        QCOMPARE(Nodes(false).Radii[0], std::sqrt(dx * dx + dy * dy));

        // "Load mesh" checks the count as well: the four nodes are refused
        // again, and a wrong extension is ignored without a word.
        Capture->SideAnswer = 0;
        Capture->OpenAnswer = Path("r.msh");
        Item("MILoadMesh")->trigger();
        QCOMPARE(int(Capture->Messages.size()), 2);
        QCOMPARE(Capture->DialogTitles.last(), ApplicationTitle() + " - load left mesh");
        QVERIFY(SameNodes(Nodes(true), l));
        QCOMPARE(Stored(c.LeftDefs), Path("l.msh"));
        QVERIFY(QFile::copy(Path("l.msh"), Path("l.txt")));
        Capture->OpenAnswer = Path("l.txt");
        Item("MILoadMesh")->trigger();
        QCOMPARE(int(Capture->Messages.size()), 2);
        QCOMPARE(Stored(c.LeftDefs), Path("l.msh"));
        Capture->DialogTitles.clear();

        // The close query asks for the project and for the copy, which goes
        // under a new name; the file refused is left as it was.
        Capture->Answers = {QMessageBox::No, QMessageBox::Yes};
        Capture->SaveAnswer = Path("copy.msh");
        QVERIFY(Sub(project)->close());
        QCOMPARE(Capture->Questions,
                 QStringList({"Save changes to " + file + "?", "Save changes to NewMesh1.Msh?"}));
        QCOMPARE(Capture->DialogTitles, QStringList({ApplicationTitle() + " - save right mesh"}));
        TNodeDefsData saved, refused;
        QVERIFY(!saved.LoadFromFile(ToNativePath(Path("copy.msh")), false));
        QVERIFY(SameNodes(saved, l));
        QVERIFY(!refused.LoadFromFile(ToNativePath(Path("r.msh")), false));
        QVERIFY(SameNodes(refused, r));
    }

    void resizingTheProjectWindowIsNoChange()
    {
        const QString demo = CopyDemo();
        QVERIFY(Form->OpenProjectFile(demo));
        QVERIFY(!Project()->IsModified());
        QCOMPARE(Nodes(true).Count, Nodes(false).Count);
        QVERIFY(Nodes(true).Count > 0);
        Sub(Project())->resize(Sub(Project())->size() + QSize(40, 16));
        QVERIFY(!Project()->IsModified());
        QVERIFY(Sub(Project())->close());
        QVERIFY(Capture->Questions.isEmpty());
        Flush();

        // Resizing its result window is.
        QVERIFY(Form->OpenProjectFile(demo));
        Sub(Project()->ResultForm())->resize(Sub(Project()->ResultForm())->size() - QSize(20, 20));
        QVERIFY(Project()->IsModified());
        Capture->Answer = QMessageBox::Cancel;
        QVERIFY(!Sub(Project())->close());
        QCOMPARE(Capture->Questions, QStringList({"Save changes to " + demo + "?"}));
    }

    void nodesAddedWithTheMouseAreSavedWithTheProject()
    {
        const QString demo = CopyDemo();
        QVERIFY(Form->OpenProjectFile(demo));
        TNodeEditForm* project = Project();
        const int before = Nodes(true).Count;
        TNodeImag* left = project->View(true);
        QVERIFY(left->Nodes.ShowPoints);
        // The edit tool: a right click adds a pair at the same spot of both
        // pictures, with the beep.
        Action("SBEdit")->trigger();
        const QPoint at(14 + 37, 14 + 201);
        QTest::mouseClick(left, Qt::RightButton, {}, at);
        QCOMPARE(Nodes(true).Count, before + 1);
        QCOMPARE(Nodes(false).Count, before + 1);
        QCOMPARE(Capture->Beeps, 1);
        const double x = Nodes(true).X[before], y = Nodes(true).Y[before];
        QVERIFY(std::abs(x - left->Mapping().WorldX(at.x())) < 1e-9);
        QVERIFY(std::abs(y - left->Mapping().WorldY(at.y())) < 1e-9);
        QCOMPARE(Nodes(false).X[before], x);
        QCOMPARE(Nodes(false).Y[before], y);
        QVERIFY(project->IsModified());

        // Ctrl+S writes the project and both node files beside it; closing
        // then asks nothing, and reopening shows the new pair.
        Form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Form.get()));
        QTest::keyClick(Form.get(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!project->IsModified());
        for (const char* name : {"demo_start_nodes.msh", "demo_end_nodes.msh"}) {
            TNodeDefsData d;
            QVERIFY(!d.LoadFromFile(ToNativePath(Path(name)), false));
            QCOMPARE(d.Count, before + 1);
            QCOMPARE(d.X[before], x);
        }
        QVERIFY(Sub(project)->close());
        QVERIFY(Capture->Questions.isEmpty());
        Flush();
        QVERIFY(Form->OpenProjectFile(demo));
        QCOMPARE(Nodes(false).Count, before + 1);
        QVERIFY(!Project()->IsModified());
    }
};

QTEST_MAIN(TestNodeEditForm)
#include "tst_node_edit_form.moc"
