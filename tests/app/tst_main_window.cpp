// The main window: captions, short-cuts and hints of its commands, the
// enabling at start, the default names, the View menu check marks and the
// loading of the Res folder.
#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>
#include <memory>

#include "app/about_form.h"
#include "app/project_form.h"
#include "app/main_morf_form.h"
#include "app/program_folder.h"
#include "app/progress_panel.h"
#include "app/warp_mode_form.h"
#include "app/gui_capture.h"
#include "views/program_state.h"

class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<GuiCapture> Capture;
    std::unique_ptr<TMainMorfForm> Form;

    QAction* Action(const char* name) { return Form->findChild<QAction*>(QString::fromLatin1(name)); }

private slots:
    void init()
    {
        Capture = std::make_unique<GuiCapture>();
        Form = std::make_unique<TMainMorfForm>();
    }
    void cleanup()
    {
        Capture->Answer = QMessageBox::No;
        Form.reset();
        Capture.reset();
    }

    void menusHaveTheirCaptionsAndShortCuts()
    {
        struct Item {
            const char* Name;
            const char* Text;
            const char* Keys;
        };
        const Item items[] = {
            {"NewProject1", "&New Project", "Ctrl+N"}, {"OpenProject1", "&Open project", "Ctrl+O"},
            {"Exit1", "E&xit", ""},                     {"StandardToolbar1", "&Standard toolbar", ""},
            {"ToolToolbar1", "&Tool toolbar", ""},      {"MorphToolbar1", "&Morph toolbar", ""},
            {"StatusLine1", "Status &line", ""},        {"ProjectInfo1", "&Project Info", "Ctrl+I"},
            {"Tile1", "&Tile", ""},                     {"Cascade1", "&Cascade", ""},
            {"ArrangeIcons1", "&Arrange icons", ""},    {"Index1", "&Index", ""},
            {"About1", "&About...", ""},
        };
        for (const Item& item : items) {
            QAction* a = Action(item.Name);
            QVERIFY2(a, item.Name);
            QCOMPARE(a->text(), QString::fromLatin1(item.Text));
            QCOMPARE(a->shortcut(), QKeySequence(QString::fromLatin1(item.Keys)));
        }
        QStringList menus;
        for (QAction* a : Form->menuBar()->actions())
            menus << a->text();
        QCOMPARE(menus, QStringList({"&File", "&View", "&Window", "&Help"}));
        for (const char* name : {"StandardToolbar1", "ToolToolbar1", "MorphToolbar1", "StatusLine1"}) {
            QVERIFY(Action(name)->isCheckable());
            QVERIFY(Action(name)->isChecked());
        }
        QCOMPARE(Form->windowTitle(), QString("Quorvix"));
    }

    void toolBarsHoldTheButtonsWithTheirHints()
    {
        struct Bar {
            const char* Name;
            const char* Title;
            QStringList Hints;
        };
        const Bar bars[] = {
            {"TBFile", "File",
             {"New project", "Open project", "Save project", "Load start picture", "Load end picture"}},
            {"TBTool", "Tool", {"Edit", "Zoom In", "Zoom all (1:1)", "Hand move", "Delete", "Show lines", "Show splines"}},
            {"TBMorf", "Morph",
             {"Preview: Warp left image", "Preview: Morph one frame", "Preview: Warp right image",
              "Number of previewed frame", "Generate animation"}},
        };
        for (const Bar& b : bars) {
            auto* bar = Form->findChild<QToolBar*>(QString::fromLatin1(b.Name));
            QVERIFY2(bar, b.Name);
            QCOMPARE(bar->windowTitle(), QString::fromLatin1(b.Title));
            QVERIFY(bar->isMovable());
            QStringList hints;
            for (QAction* a : bar->actions()) {
                if (a->isSeparator())
                    continue;
                QWidget* w = bar->widgetForAction(a);
                QVERIFY(w);
                hints << (qobject_cast<QSpinBox*>(w) ? w->toolTip() : a->toolTip());
                if (!qobject_cast<QSpinBox*>(w))
                    QVERIFY2(!a->icon().isNull(), qPrintable(a->toolTip()));
            }
            QCOMPARE(hints, b.Hints);
        }
        // The five tools form one exclusive group; the show toggles are toggles.
        QVERIFY(Action("SBEdit")->actionGroup());
        QCOMPARE(Action("SBEdit")->actionGroup()->actions().size(), 5);
        QCOMPARE(Action("SBEdit")->actionGroup()->exclusionPolicy(), QActionGroup::ExclusionPolicy::Exclusive);
        QVERIFY(Action("SBShowLine")->isCheckable() && !Action("SBShowLine")->actionGroup());

        QSpinBox* spin = Form->FrameSpinEdit();
        QCOMPARE(spin->objectName(), QString("SEPrevFram"));
        QCOMPARE(spin->minimum(), 1);
        QCOMPARE(spin->maximum(), 32768);
        QCOMPARE(spin->value(), 5);
        QVERIFY(spin->findChild<QLineEdit*>()->isReadOnly());
    }

    void windowHasItsClientSizeAndStatusPanels()
    {
        Form->show();
        QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
        QCOMPARE(Form->width(), 720);
        QCOMPARE(Form->height() - Form->menuBar()->height(), 500);
        auto* status = Form->findChild<QLabel*>("PNStatus");
        QVERIFY(status);
        QCOMPARE(status->width(), 100);
        QCOMPARE(status->text(), QString());
        QCOMPARE(Form->ProgressPanel()->width(), 50);
        QCOMPARE(Form->ProgressPanel()->parentWidget(), Form->statusBar());
        Form->SetStatusText("12, 34");
        QCOMPARE(status->text(), QString("12, 34"));
    }

    void onlyNewAndOpenAreEnabledAtStart()
    {
        for (const char* name : {"NewProject1", "OpenProject1", "Exit1", "StandardToolbar1", "ToolToolbar1",
                                 "MorphToolbar1", "StatusLine1", "Tile1", "Cascade1", "ArrangeIcons1", "About1"})
            QVERIFY2(Action(name)->isEnabled(), name);
        for (const char* name : {"SBSaveProj", "SBLoadLeft", "SBLoadRigh", "ProjectInfo1", "SBEdit", "SBZoomIn__",
                                 "SBZoomAll_", "SBHandMove", "SBDelete__", "SBShowLine", "SBShowSpli", "SBWarpLeft",
                                 "SBMorf", "SBWarpRigh", "SBGeneAnim", "Index1"})
            QVERIFY2(!Action(name)->isEnabled(), name);
        QVERIFY(!Form->FrameSpinEdit()->isEnabled());
    }

    void defaultNamesCountUpAndNeverGoBack()
    {
        // Through the new-project command: each project takes one project
        // number and two mesh numbers, also after the first was closed.
        Capture->WarpMethod = 0;
        Action("NewProject1")->trigger();
        QCOMPARE(Form->MdiArea()->subWindowList().size(), 2);  // project and result window
        auto* first = qobject_cast<TProjectForm*>(Form->ActiveProject());
        QVERIFY(first);
        QCOMPARE(first->windowTitle(), QString("Untitled1.Prj"));
        QCOMPARE(first->Record()->Common().LeftDefs.Get(), std::string("NewMesh1.Msh"));
        QCOMPARE(first->Record()->Common().RightDefs.Get(), std::string("NewMesh2.Msh"));
        Capture->Answer = QMessageBox::No;
        QVERIFY(first->parentWidget()->close());
        // The project, then each mesh never saved.
        QCOMPARE(Capture->Questions, QStringList({"Save changes to Untitled1.Prj?", "Save changes to NewMesh1.Msh?",
                                                  "Save changes to NewMesh2.Msh?"}));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // its result window
        QVERIFY(Form->MdiArea()->subWindowList().isEmpty());

        Capture->WarpMethod = 1;
        Action("NewProject1")->trigger();
        auto* second = qobject_cast<TProjectForm*>(Form->ActiveProject());
        QVERIFY(second);
        QCOMPARE(second->windowTitle(), QString("Untitled2.Prj"));
        QCOMPARE(second->WindowKind, uint8_t(kNodeProjectWindow));
        QCOMPARE(second->Record()->Common().LeftDefs.Get(), std::string("NewMesh3.Msh"));
        QCOMPARE(Form->New_ProjName(), QString("Untitled3.Prj"));
        QCOMPARE(Form->New_MeshName(), QString("NewMesh5.Msh"));

        // A cancelled choice creates nothing and takes no number.
        Capture->WarpMethod = -1;
        Action("NewProject1")->trigger();
        QCOMPARE(Form->MdiArea()->subWindowList().size(), 2);
        QCOMPARE(Form->New_ProjName(), QString("Untitled4.Prj"));
    }

    void countersStartAtOneInEachRun()
    {
        QCOMPARE(Form->New_MeshName(), QString("NewMesh1.Msh"));
        QCOMPARE(Form->New_MeshName(), QString("NewMesh2.Msh"));
        QCOMPARE(Form->New_ProjName(), QString("Untitled1.Prj"));
        QCOMPARE(Form->New_ProjName(), QString("Untitled2.Prj"));
    }

    void viewMenuCheckMarksFollowVisibility()
    {
        Form->show();
        QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
        auto* file = Form->findChild<QToolBar*>("TBFile");
        auto* tool = Form->findChild<QToolBar*>("TBTool");
        auto* morph = Form->findChild<QToolBar*>("TBMorf");

        Action("StandardToolbar1")->trigger();
        QVERIFY(file->isHidden());
        QVERIFY(!Action("StandardToolbar1")->isChecked());
        Action("StandardToolbar1")->trigger();
        QVERIFY(file->isVisible());
        QVERIFY(Action("StandardToolbar1")->isChecked());

        // Hidden by other means (its close box, the tool bar context menu).
        tool->hide();
        QVERIFY(!Action("ToolToolbar1")->isChecked());
        QVERIFY(Action("MorphToolbar1")->isChecked());
        tool->show();
        QVERIFY(Action("ToolToolbar1")->isChecked());
        morph->setVisible(false);
        QVERIFY(!Action("MorphToolbar1")->isChecked());

        Action("StatusLine1")->trigger();
        QVERIFY(Form->statusBar()->isHidden());
        QVERIFY(!Action("StatusLine1")->isChecked());
        Action("StatusLine1")->trigger();
        QVERIFY(Form->statusBar()->isVisible());
    }

    void warpMethodDialogAndAboutBox()
    {
        TWarpModeForm* dialog = Form->WarpModeForm();
        QVERIFY(dialog && !dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QString("Choose warp method"));
        QCOMPARE(dialog->RBMeshWarp->text(), QString("&Mesh warping"));
        QCOMPARE(dialog->RBNodeWarp->text(), QString("&Node warping"));
        QVERIFY(dialog->RBMeshWarp->isChecked());
        QCOMPARE(dialog->WarpMethod(), 0);
        dialog->RBNodeWarp->setChecked(true);
        QCOMPARE(dialog->WarpMethod(), 1);
        QCOMPARE(dialog->BTOK->text(), QString("OK"));
        QVERIFY(dialog->BTOK->isDefault());
        QCOMPARE(dialog->BTCancel->text(), QString("Cancel"));

        TAboutForm about(Form.get());
        QCOMPARE(about.windowTitle(), QString("About Quorvix"));
        auto* picture = about.findChild<QLabel*>("IMPict");
        QVERIFY(picture && !picture->pixmap().isNull());
        auto* ok = about.findChild<QPushButton*>("BTOK");
        QVERIFY(ok && ok->text() == "OK");
        // The picture is not a blank square.
        const QImage image = picture->pixmap().toImage();
        QVERIFY(image.pixel(5, 5) != image.pixel(image.width() / 2, image.height() / 2));
    }

    void resourcesLoadIntoGlyphsAndCursorSlots()
    {
        // The build copies res/ to Res beside the test program.
        QVERIFY(Capture->Messages.empty());
        QCOMPARE(CursorSlot(1).shape(), Qt::BitmapCursor);
        QCOMPARE(CursorSlot(1).hotSpot(), QPoint(15, 15));
        QCOMPARE(CursorSlot(2).hotSpot(), QPoint(1, 15));
        QCOMPARE(CursorSlot(3).hotSpot(), QPoint(29, 15));
        QCOMPARE(CursorSlot(4).hotSpot(), QPoint(15, 1));
        QCOMPARE(CursorSlot(5).hotSpot(), QPoint(15, 29));
        QCOMPARE(CursorSlot(6).hotSpot(), QPoint(12, 12));
        QCOMPARE(CursorSlot(8).shape(), Qt::BitmapCursor);
        // The show toggles wear the loaded line and spline glyphs: the
        // silver background became transparent.
        const QImage line = Action("SBShowLine")->icon().pixmap(20, 20).toImage();
        QCOMPARE(qAlpha(line.pixel(0, 0)), 0);
        QCOMPARE(QColor(line.pixel(2, 2)), QColor(0, 128, 0));
    }

    void missingBitmapIsReportedAndStopsLoading()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("Res"));
        const QString res = dir.path() + "/Res/";
        const QString source = ProgramFolder() + "Res/";
        for (const char* name : {"Line.bmp", "Spli.bmp", "rect.cur"})
            QVERIFY(QFile::copy(source + name, res + name));

        // Poin.bmp is missing: reported once, nothing after it is loaded.
        SetCursorSlot(1, QCursor(Qt::CrossCursor));
        QVERIFY(!Form->LoadResources(dir.path()));
        QCOMPARE(int(Capture->Messages.size()), 1);
        QCOMPARE(Capture->Messages[0].Caption, std::string("Error"));
        QCOMPARE(Capture->LastText(), "Error: Error opening file " + res + "Poin.bmp");
        QCOMPARE(CursorSlot(1).shape(), Qt::CrossCursor);

        // An unreadable bitmap is reported too.
        WriteFileBytes(res + "Poin.bmp", QByteArray("not a bitmap at all"));
        QVERIFY(!Form->LoadResources(dir.path()));
        QCOMPARE(Capture->LastText(), "Error: Error reading from file: " + res + "Poin.bmp");

        // All bitmaps present, cursors mostly missing: no message; the one
        // cursor file present is loaded, the others keep what they had.
        QVERIFY(QFile::remove(res + "Poin.bmp"));
        QVERIFY(QFile::copy(source + "Poin.bmp", res + "Poin.bmp"));
        QVERIFY(QFile::copy(source + "Radi.bmp", res + "Radi.bmp"));
        SetCursorSlot(2, QCursor(Qt::CrossCursor));
        const size_t before = Capture->Messages.size();
        QVERIFY(Form->LoadResources(dir.path()));
        QCOMPARE(Capture->Messages.size(), before);
        QCOMPARE(CursorSlot(1).shape(), Qt::BitmapCursor);
        QCOMPARE(CursorSlot(2).shape(), Qt::CrossCursor);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
