// The settings dialogs as a user meets them: opened from the project's
// "&Settings" menu merged into the main window, filled from the project,
// typed into, left field by field, confirmed or cancelled; and what the
// project, its result window and its saved file hold afterwards.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>
#include <cstring>
#include <functional>
#include <memory>

#include "app/project_form.h"
#include "app/envi_form.h"
#include "app/gui_capture.h"
#include "app/main_morf_form.h"
#include "app/node_edit_form.h"
#include "app/program_folder.h"
#include "app/resu_form.h"
#include "app/sele_path_form.h"
#include "app/sett_form.h"
#include "app/settings_commands.h"
#include "images/picture_file.h"
#include "images/render_view.h"
#include "node/node_warp.h"
#include "views/node_imag.h"

namespace {

// A node project window without views, recording what the dialogs ask of it.
class HookProject : public TEditAnceForm {
public:
    HookProject() : TEditAnceForm(kNodeProjectWindow)
    {
        SetNewProjectDefaults(Rec, ProjectKind::Node, "/tmp/", "a.msh", "b.msh");
    }
    ProjectRecord* Record() override { return &Rec; }
    void MarkModified() override { Calls << "Modified"; }
    void SetViewsRadiusMode(uint8_t mode) override
    {
        Calls << QStringLiteral("RadiusMode %1 NodeMi %2 Suspended %3").arg(mode).arg(NodeMi).arg(RedrawSuspended);
    }
    void RecomputeRadii() override { Calls << QStringLiteral("Radii Suspended %1").arg(RedrawSuspended); }
    ProjectRecord Rec;
    QStringList Calls;
};

// A project window that lends a "&File" and a "&Run" menu as well.
class MenuProject : public TEditAnceForm {
public:
    MenuProject() : TEditAnceForm(kMeshProjectWindow)
    {
        SetNewProjectDefaults(Rec, ProjectKind::Mesh, "/tmp/", "a.msh", "b.msh");
        File = new QMenu(QStringLiteral("&File"), this);
        Run = new QMenu(QStringLiteral("&Run"), this);
        Settings = CreateSettingsMenu(*this);
    }
    ProjectRecord* Record() override { return &Rec; }
    QList<MergedMenu> MergedMenus() override { return {{7, Settings}, {0, File}, {6, Run}}; }
    ProjectRecord Rec;
    QMenu *File, *Run, *Settings;
};

int32_t Int32At(const QByteArray& b, int offset)
{
    int32_t v;
    std::memcpy(&v, b.constData() + offset, 4);
    return v;
}

// A grey picture of the given size written as BMP.
QString WritePicture(const QString& name, int width, int height)
{
    RasterImage p;
    p.Init(width, height);
    std::memset(p.Lock(), 90, static_cast<size_t>(p.ImageSize));
    return SavePicture(ToNativePath(name), p) ? QString() : name;
}

}  // namespace

class TestSettingsDialogs : public QObject {
    Q_OBJECT

    std::unique_ptr<GuiCapture> Capture;
    std::unique_ptr<TMainMorfForm> Form;
    std::unique_ptr<QTemporaryDir> Dir;

    QStringList MenuTitles()
    {
        QStringList titles;
        for (QAction* a : Form->menuBar()->actions())
            titles << a->text();
        return titles;
    }
    TProjectForm* NewProject(int method)
    {
        Capture->WarpMethod = method;
        Form->NewProject();
        return qobject_cast<TProjectForm*>(Form->ActiveProject());
    }
    QStringList Texts() const
    {
        QStringList texts;
        for (const ErrorBoxMessage& m : Capture->Messages)
            texts << QString::fromStdString(m.Text);
        return texts;
    }
    // Runs check while the dialog that open() shows modally is open; then
    // cancels it if it is still there.
    void WhileOpen(QDialog* dialog, const std::function<void()>& check, const std::function<void()>& open)
    {
        QVERIFY2(RunWhileOpen(dialog, check, open), "the dialog was not shown");
    }
    template <class T = QLineEdit>
    static T* Find(QWidget* dialog, const char* name)
    {
        T* w = dialog->findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qWarning("no control %s", name);
        return w;
    }
    static void Type(QWidget* field, const QString& text) { TypeInto(field, text); }
    static void Click(QWidget* button) { ClickOn(button); }

private slots:
    void init()
    {
        Capture = std::make_unique<GuiCapture>();
        Form = std::make_unique<TMainMorfForm>();
        Dir = std::make_unique<QTemporaryDir>();
        Form->show();
        QVERIFY(QTest::qWaitForWindowActive(Form.get()));
    }
    void cleanup()
    {
        Capture->Answer = QMessageBox::No;
        Form.reset();
        Dir.reset();
        Capture.reset();
    }

    void menusMergeWhileTheirProjectIsActive()
    {
        QCOMPARE(MenuTitles(), QStringList({"&File", "&View", "&Window", "&Help"}));
        TProjectForm* project = NewProject(0);
        QCOMPARE(MenuTitles(), QStringList({"&File", "&View", "&Run", "&Settings", "&Window", "&Help"}));
        auto* settings = Form->menuBar()->actions().at(3)->menu();
        QCOMPARE(settings->actions().at(0)->text(), QString("&Enviroment"));
        QCOMPARE(settings->actions().at(0)->shortcut(), QKeySequence("Ctrl+E"));
        QCOMPARE(settings->actions().at(1)->text(), QString("&Morph && Warp"));
        QCOMPARE(settings->actions().at(1)->shortcut(), QKeySequence("Ctrl+M"));

        // The short-cut reaches the project through the main window's bar.
        Form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Form.get()));
        WhileOpen(Form->MeshSettForm(), [] {}, [&] { QTest::keyClick(Form.get(), Qt::Key_M, Qt::ControlModifier); });
        Form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Form.get()));
        WhileOpen(Form->MeshEnviForm(), [] {}, [&] { QTest::keyClick(Form.get(), Qt::Key_E, Qt::ControlModifier); });

        // The result window stands for its project.
        auto* resultSub = qobject_cast<QMdiSubWindow*>(project->ResultWindow()->parentWidget());
        Form->MdiArea()->setActiveSubWindow(resultSub);
        QCOMPARE(MenuTitles(), QStringList({"&File", "&View", "&Run", "&Settings", "&Window", "&Help"}));

        // A window that lends its own "&File" replaces the main one; groups keep their order.
        auto* other = new MenuProject;
        Form->AddChild(other);
        QCOMPARE(MenuTitles(), QStringList({"&File", "&View", "&Run", "&Settings", "&Window", "&Help"}));
        QCOMPARE(Form->menuBar()->actions().at(0)->menu(), other->File);
        Form->MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(project->parentWidget()));
        QCOMPARE(Form->menuBar()->actions().at(3)->menu(), project->findChild<QMenu*>("Settings1"));

        Form->MdiArea()->closeAllSubWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        QCOMPARE(MenuTitles(), QStringList({"&File", "&View", "&Window", "&Help"}));
    }

    // Match buttons and field checks of the morph settings, typed and left
    // as a user does; fresh values from the record at every showing.
    void morphSettingsMatchAndFieldChecks()
    {
        TProjectForm* project = NewProject(0);
        Capture->OpenAnswer = WritePicture(Dir->filePath("start.bmp"), 640, 480);
        project->LoadLeftImag();
        TSettForm* dialog = Form->MeshSettForm();
        WhileOpen(dialog, [&] {
            QCOMPARE(dialog->windowTitle(), QString("Mesh morph settings"));

            QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
            QCOMPARE(RedrawSuspended, true);
            QCOMPARE(Find(dialog, "EDOutpPath")->text(), ProgramFolder());
            QCOMPARE(Find(dialog, "EDOutpPref")->text(), QString("Out"));
            QVERIFY(Find<QRadioButton>(dialog, "RBTypeTGA_")->isChecked());
            QVERIFY(Find<QRadioButton>(dialog, "RBMeshLine")->isChecked());
            QVERIFY(Find<QRadioButton>(dialog, "RBInteLine")->isChecked());
            QLineEdit* w = Find(dialog, "EDResuPictWidt");
            QLineEdit* h = Find(dialog, "EDResuPictHeig");
            QCOMPARE(w->text() + "x" + h->text(), QString("160x100"));

            struct Ratio {
                const char* Width;
                const char* Height;
                const char* Button;
                const char* Expected;
            };
            const Ratio ratios[] = {
                {"300", "300", "BTMatcStarAspe", "300x225"},
                {"300", "100", "BTMatcStarAspe", "133x100"},
                {"640", "480", "BTMatcStarAspe", "640x480"},
                // No end picture: its height is 0 and nothing changes.
                {"300", "100", "MTMatcEnd_Aspe", "300x100"},
            };
            for (const Ratio& r : ratios) {
                Type(w, r.Width);
                Type(h, r.Height);
                Click(Find<QPushButton>(dialog, r.Button));
                QCOMPARE(w->text() + "x" + h->text(), QString(r.Expected));
            }
            QCOMPARE(Capture->Messages.size(), size_t(0));
            Click(Find<QPushButton>(dialog, "BTMatcStarImag"));
            QCOMPARE(w->text() + "x" + h->text(), QString("640x480"));
            Click(Find<QPushButton>(dialog, "BRMatcEnd_Imag"));
            QCOMPARE(w->text() + "x" + h->text(), QString("0x0"));
            Type(h, "100");

            // Each field is checked when the focus leaves it.
            struct Leave {
                const char* Typed;
                const char* Shown;
                QStringList Messages;
            };
            const Leave leaves[] = {
                {"39", "40", {"Error: Width of image must be greater then 40."}},
                {" 0300", "300", {}},
                {"abc", "abc", {"Error: Bad integer number."}},
                {"-7", "40", {"Error: Width of image must be greater then 40."}},
                {"99999999999", "99999999999", {"Error: Bad integer number."}},
            };
            for (const Leave& l : leaves) {
                Capture->Messages.clear();
                Type(w, l.Typed);
                QTest::keyClick(w, Qt::Key_Tab);
                QCOMPARE(w->text(), QString(l.Shown));
                QCOMPARE(Texts(), l.Messages);
            }
            Capture->Messages.clear();
            Type(h, "39");
            Type(w, "200");  // clicking into another field leaves the height
            QCOMPARE(h->text(), QString("40"));
            QCOMPARE(Texts(), QStringList({"Error: Height of image must be greater then 40."}));
            QCOMPARE(Capture->Messages.at(0).Code, 1);
            QCOMPARE(QString::fromStdString(Capture->Messages.at(0).Caption), QString("Error"));
        }, [&] { QVERIFY(!RunMorphSettings(*project)); });
        QCOMPARE(RedrawSuspended, false);

        // Cancelled: nothing was stored, and the next showing is filled anew.
        QCOMPARE(project->Record()->Mesh.Morph.ResultWidth, 160);
        WhileOpen(dialog, [&] { QCOMPARE(Find(dialog, "EDResuPictWidt")->text(), QString("160")); },
                  [&] { RunMorphSettings(*project); });
    }

    // The frame-number rule at OK, values stored before they are checked,
    // Cancel after a failed OK; then an OK that passes, the result picture
    // and the saved file with exactly what was typed.
    void morphSettingsOKStoresAndTheFileHoldsIt()
    {
        TProjectForm* project = NewProject(0);
        TSettForm* dialog = Form->MeshSettForm();
        auto* result = qobject_cast<TResuForm*>(project->ResultWindow());
        const uint8_t* shownBefore = result->ResuImag()->GetPicture().Lock();
        struct Frames {
            const char *Total, *First, *Last, *Current;
            bool Accepted;
        };
        const Frames cases[] = {
            {"5", "1", "6", "1", false},
            {"5", "1", "5", "6", false},
            {"5", "3", "2", "1", false},
            {"5", "1", "5", "1", true},
        };
        for (const Frames& f : cases) {
            Capture->Messages.clear();
            bool accepted = false;
            WhileOpen(dialog, [&] {
                dialog->Tabs->setCurrentIndex(1);
                Type(Find<QSpinBox>(dialog, "SETotaFram"), f.Total);
                Type(Find<QSpinBox>(dialog, "SEFirsFram"), f.First);
                Type(Find<QSpinBox>(dialog, "SELastFram"), f.Last);
                Type(Find<QSpinBox>(dialog, "SECurrFram"), f.Current);
                Click(dialog->BTOK);
                QCOMPARE(dialog->isVisible(), !f.Accepted);
            }, [&] { accepted = RunMorphSettings(*project); });
            QCOMPARE(accepted, f.Accepted);
            QCOMPARE(Texts(), f.Accepted ? QStringList() : QStringList({"Error: There is inconsistence in frame numbers."}));
            // Stored before the check: a refused value stays after Cancel.
            const MeshMorphSettings& m = project->Record()->Mesh.Morph;
            QCOMPARE(QString("%1 %2 %3 %4").arg(m.TotalFrames).arg(m.FirstFrame).arg(m.LastFrame).arg(m.CurrentFrame),
                     QString("%1 %2 %3 %4").arg(f.Total, f.First, f.Last, f.Current));
        }
        // The OK above kept the result size: the very same picture is shown.
        QCOMPARE(result->ResuImag()->GetPicture().Lock(), shownBefore);

        const QString out = Dir->path() + "/frames";
        WhileOpen(dialog, [&] {
            Type(Find(dialog, "EDOutpPath"), out);
            Type(Find(dialog, "EDOutpPref"), "Walk");
            Type(Find(dialog, "EDResuPictWidt"), "320");
            Type(Find(dialog, "EDResuPictHeig"), "39");
            Click(Find<QRadioButton>(dialog, "RBTypeBMP_"));
            dialog->Tabs->setCurrentIndex(1);
            Type(Find<QSpinBox>(dialog, "SETotaFram"), "24");
            Type(Find<QSpinBox>(dialog, "SEFirsFram"), "2");
            Type(Find<QSpinBox>(dialog, "SELastFram"), "20");
            Type(Find<QSpinBox>(dialog, "SECurrFram"), "12");
            Type(Find<QSpinBox>(dialog, "SEDelaFram"), "80");
            Click(Find<QRadioButton>(dialog, "RBToDoFram"));
            Click(Find<QRadioButton>(dialog, "RBWarp"));
            Click(Find<QRadioButton>(dialog, "RBRigh"));
            dialog->Tabs->setCurrentIndex(2);
            Click(Find<QRadioButton>(dialog, "RBMeshSpli"));
            Click(Find<QRadioButton>(dialog, "RBInteSpli"));
            QCOMPARE(Find(dialog, "EDResuPictHeig")->text(), QString("40"));
            Click(dialog->BTOK);
            QVERIFY(!dialog->isVisible());
        }, [&] { QVERIFY(RunMorphSettings(*project)); });
        QCOMPARE(Texts(), QStringList({"Error: Height of image must be greater then 40."}));
        QVERIFY(project->IsModified());
        QCOMPARE(Form->FrameSpinEdit()->maximum(), 24);
        QCOMPARE(Form->FrameSpinEdit()->value(), 12);
        const RasterImage& grey = result->ResuImag()->GetPicture();
        QCOMPARE(QSize(grey.Width(), grey.Height()), QSize(320, 40));
        QVERIFY(std::all_of(grey.Lock(), grey.Lock() + grey.ImageSize, [](uint8_t b) { return b == 207; }));

        const QString file = Dir->filePath("typed.prj");
        QVERIFY(!project->SaveProj(file));
        const QByteArray b = ReadFileBytes(file);
        const int m = 30 + 1088;
        QCOMPARE(b.mid(m, 4), QByteArray("\x03\x00\x01\x00", 4));  // splines + Catmull-Rom, one frame, right, warp
        QCOMPARE(Int32At(b, m + 4), 24);
        QCOMPARE(Int32At(b, m + 8), 2);
        QCOMPARE(Int32At(b, m + 12), 20);
        QCOMPARE(Int32At(b, m + 16), 12);
        QCOMPARE(Int32At(b, m + 20), 80);
        QCOMPARE(b.mid(m + 25, static_cast<uint8_t>(b[m + 24])), out.toUtf8());
        QCOMPARE(b.mid(m + 280, 5), QByteArray("\x04Walk", 5));
        QCOMPARE(int(b[m + 536]), 1);
        QCOMPARE(Int32At(b, m + 540), 320);
        QCOMPARE(Int32At(b, m + 544), 40);

        // PNG frames are the fourth type, value 3; the dialog shows it again.
        WhileOpen(dialog, [&] {
            QRadioButton* png = Find<QRadioButton>(dialog, "RBTypePNG_");
            QCOMPARE(png->text(), QString("Sequence of &PNG files"));
            QCOMPARE(dialog->TypeButtons.last(), png);
            Click(png);
            Click(dialog->BTOK);
        }, [&] { QVERIFY(RunMorphSettings(*project)); });
        QCOMPARE(int(project->Record()->Mesh.Morph.OutputType), 3);
        WhileOpen(dialog, [&] {
            QVERIFY(Find<QRadioButton>(dialog, "RBTypePNG_")->isChecked());
            Click(dialog->BTCancel);
        }, [&] { QVERIFY(!RunMorphSettings(*project)); });

        // An output type without a radio of its own passes through untouched.
        project->Record()->Mesh.Morph.OutputType = 4;
        WhileOpen(dialog, [&] {
            for (QRadioButton* r : dialog->TypeButtons)
                QVERIFY(!r->isChecked());
            Click(dialog->BTOK);
        }, [&] { QVERIFY(RunMorphSettings(*project)); });
        QCOMPARE(int(project->Record()->Mesh.Morph.OutputType), 4);
    }

    // Node morph settings: the exponent's interval at the field and at OK,
    // the node warp parameters after every OK, the radii when it ends.
    void nodeSettingsPutTheWarpParametersInForce()
    {
        HookProject project;
        TNodeSettForm* dialog = Form->NodeSettForm();
        WhileOpen(dialog, [&] {
            QCOMPARE(dialog->windowTitle(), QString("Node morph settings"));
            QVERIFY(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
            dialog->Tabs->setCurrentIndex(2);
            QLineEdit* mi = Find(dialog, "EDMi__");
            QCOMPARE(mi->text(), QString("-1"));
            QVERIFY(Find<QRadioButton>(dialog, "RBAdapSour")->isChecked());
            QCOMPARE(Find<QSpinBox>(dialog, "SERadi")->value(), 50);
            const std::pair<const char*, const char*> leaves[] = {
                {"10.5", "1"}, {"-1.6", "1"}, {"-1.5", "-1.5"}, {"2.50", "2.5"}, {"1e300", "1e300"}, {"0.1", "0.100000000000023"}};
            for (auto [typed, shown] : leaves) {
                Type(mi, typed);
                QTest::keyClick(mi, Qt::Key_Tab);
                QCOMPARE(mi->text(), QString(shown));
            }
            QCOMPARE(Texts(), QStringList({"Error: Mi must be in interval <-1.5, 10>.",
                                           "Error: Mi must be in interval <-1.5, 10>.",
                                           "Error: Bad real number."}));
            // Typed and confirmed with Enter, without leaving the field.
            Capture->Messages.clear();
            Click(Find<QRadioButton>(dialog, "RBFixeRadi"));
            Type(Find<QSpinBox>(dialog, "SERadi"), "300");
            Type(mi, "11");
            QTest::keyClick(mi, Qt::Key_Return);
            QVERIFY(dialog->isVisible());
            QCOMPARE(Texts(), QStringList({"Error: Mi must be in interval <-1.5, 10>."}));
            QCOMPARE(NodeRadiusMode, uint8_t(0));
            QCOMPARE(NodeRadius, 300.0);
            QCOMPARE(NodeMi, 11.0);
        }, [&] { QVERIFY(!RunMorphSettings(project)); });
        QCOMPARE(project.Calls, QStringList({"RadiusMode 0 NodeMi 11 Suspended 1", "Radii Suspended 0"}));
        QCOMPARE(project.Rec.Node.Morph.Mi.Get(), 11.0);
        QCOMPARE(project.Rec.Node.Morph.Radius, 300);

        project.Calls.clear();
        WhileOpen(dialog, [&] {
            QCOMPARE(Find(dialog, "EDMi__")->text(), QString("11"));
            Type(Find(dialog, "EDMi__"), "2");
            Click(dialog->BTOK);
        }, [&] { QVERIFY(RunMorphSettings(project)); });
        QCOMPARE(project.Calls, QStringList({"RadiusMode 0 NodeMi 2 Suspended 1", "Radii Suspended 0", "Modified"}));
        QCOMPARE(project.Rec.Node.Morph.Mi.Bytes, Real48Bytes({0x82, 0, 0, 0, 0, 0}));
    }

    // "&Browse" through the real folder dialog.
    void browseWritesTheChosenFolder()
    {
        TProjectForm* project = NewProject(0);
        QVERIFY(QDir(Dir->path()).mkpath("pictures/out"));
        TSettForm* dialog = Form->MeshSettForm();
        TSelePathForm* folders = Form->SelePathForm();
        WhileOpen(dialog, [&] {
            QLineEdit* path = Find(dialog, "EDOutpPath");
            // A folder that does not exist opens at the nearest one above it.
            Type(path, Dir->path() + "/pictures/none/deeper");
            WhileOpen(folders, [&] {
                QCOMPARE(folders->windowTitle(), QString("Selsect output path"));
                QCOMPARE(folders->Directory(), Dir->path() + "/pictures");
                QCOMPARE(folders->findChild<QComboBox*>("DCBSeleDrive")->itemText(0), QString("/"));
            }, [&] { Click(Find<QPushButton>(dialog, "BTBrowOutpPath")); });
            QCOMPARE(path->text(), Dir->path() + "/pictures/none/deeper");  // cancelled

            WhileOpen(folders, [&] {
                auto* tree = folders->findChild<QTreeView*>("DLBSelePath");
                QTRY_VERIFY(tree->model()->rowCount(tree->currentIndex()) == 1);
                tree->setFocus();
                QTest::keyClick(tree, Qt::Key_Down);
                QCOMPARE(folders->Directory(), Dir->path() + "/pictures/out");
                Click(folders->BTOK);
            }, [&] { Click(Find<QPushButton>(dialog, "BTBrowOutpPath")); });
            QCOMPARE(path->text(), Dir->path() + "/pictures/out");
            Click(dialog->BTOK);
        }, [&] { QVERIFY(RunMorphSettings(*project)); });
        QCOMPARE(QString::fromStdString(project->Record()->Mesh.Morph.OutputPath.Get()), Dir->path() + "/pictures/out");
    }

    // The environment dialog of a mesh project: filled from the windows,
    // fit boxes, colours kept until OK, the zoom rules, and what OK changes.
    void meshEnviromentDialog()
    {
        TProjectForm* project = NewProject(0);
        auto* result = qobject_cast<TResuForm*>(project->ResultWindow());
        result->SetClientSize(200, 150);
        TMeshEnviForm* dialog = Form->MeshEnviForm();
        QColor offered;
        Dialogs().ChooseColour = [&](QWidget*, const QColor& initial) -> std::optional<QColor> {
            offered = initial;
            return QColor(10, 20, 30);
        };
        WhileOpen(dialog, [&] {
            QCOMPARE(dialog->windowTitle(), QString("Enviroment settings"));
            QVERIFY(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
            QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
            const std::pair<const char*, const char*> filled[] = {
                {"EDStarPictWidt", "320"}, {"EDStarPictHeig", "200"}, {"EDEnd_PictWidt", "320"},
                {"EDEnd_PictHeig", "200"}, {"EDResuPictWidt", "200"}, {"EDResuPictHeig", "150"},
                {"EDZoomIn__", "2"},       {"EDZoomOut_", "0.5"}};
            for (auto [name, text] : filled)
                QCOMPARE(Find(dialog, name)->text(), QString(text));
            QVERIFY(Find<QCheckBox>(dialog, "CBLine")->isChecked());
            QVERIFY(!Find<QCheckBox>(dialog, "CBSpli")->isChecked());

            Click(Find<QCheckBox>(dialog, "CBFit_Star"));
            for (const char* name : {"EDStarPictWidt", "EDStarPictHeig", "BTMatcStarImag", "BTMatcStarAspe"})
                QVERIFY(!Find<QWidget>(dialog, name)->isEnabled());
            QVERIFY(Find<QWidget>(dialog, "EDEnd_PictWidt")->isEnabled());

            Type(Find(dialog, "EDEnd_PictHeig"), "39");
            Type(Find(dialog, "EDZoomOut_"), "0");
            Type(Find(dialog, "EDZoomIn__"), "3.5");
            QCOMPARE(Find(dialog, "EDEnd_PictHeig")->text(), QString("40"));
            QCOMPARE(Find(dialog, "EDZoomOut_")->text(), QString("2"));
            QCOMPARE(Texts(), QStringList({"Error: Heigth of image must be greater then 40.",
                                           "Error: Zoom value must be greather then zero."}));

            dialog->Tabs->setCurrentIndex(1);
            Click(Find<QPushButton>(dialog, "BTChanSpli"));
            QCOMPARE(offered, QColor(255, 255, 0));
            QCOMPARE(Find<TColourShape>(dialog, "SHSpli")->Colour(), 0x001E140Au);
            QCOMPARE(project->Record()->Mesh.View.SplineColour, 0x0000FFFFu);  // not before OK

            // Enter without leaving the field: the OK checks speak.
            Capture->Messages.clear();
            dialog->Tabs->setCurrentIndex(0);
            Type(Find(dialog, "EDResuPictWidt"), "30");
            Type(Find(dialog, "EDZoomIn__"), "0");  // leaving the width puts 40 there
            QTest::keyClick(Find(dialog, "EDZoomIn__"), Qt::Key_Return);
            QVERIFY(dialog->isVisible());
            QCOMPARE(Texts(), QStringList({"Error: Width of image must be greater then 40.",
                                           "Error: Zoom factor must be greater then zero."}));
            QCOMPARE(project->Record()->Mesh.View.ZoomInFactor.Get(), 0.0);  // stored before the check
            Type(Find(dialog, "EDZoomIn__"), "3.5");
            Type(Find(dialog, "EDResuPictWidt"), "250");
            dialog->Tabs->setCurrentIndex(2);
            Type(Find<QSpinBox>(dialog, "SESegmNumb"), "25");
            Click(Find<QRadioButton>(dialog, "RBInte"));
            Click(dialog->BTOK);
            QVERIFY(!dialog->isVisible());
        }, [&] { QVERIFY(RunEnviromentSettings(*project)); });
        const MeshViewSettings& v = project->Record()->Mesh.View;
        QCOMPARE(QString("%1 %2 %3 %4 %5 %6").arg(v.LeftPaneWidth).arg(v.LeftPaneHeight).arg(v.RightPaneWidth)
                     .arg(v.RightPaneHeight).arg(v.ResultWidth).arg(v.ResultHeight),
                 QString("320 200 320 40 250 150"));
        QCOMPARE(int(v.FitLeft), 1);
        QCOMPARE(v.ZoomInFactor.Get(), 3.5);
        QCOMPARE(v.ZoomOutFactor.Get(), 2.0);
        QCOMPARE(v.SplineColour, 0x001E140Au);
        QCOMPARE(v.SplineSegments, 25);
        QCOMPARE(int(v.ZoomQuality), 2);
        QVERIFY(project->IsModified());
        // The result window and its view follow.
        QCOMPARE(result->size(), QSize(250, 150));
        QCOMPARE(result->ResuImag()->GetZoomInFactor(), 3.5);
        QCOMPARE(int(result->ResuImag()->GetDisplayMode()), 2);
    }

    void nodeEnviromentDialogStoresItsOwnFields()
    {
        TProjectForm* project = NewProject(1);
        TNodeEnviForm* dialog = Form->NodeEnviForm();
        Dialogs().ChooseColour = [](QWidget*, const QColor&) -> std::optional<QColor> { return QColor(1, 2, 3); };
        WhileOpen(dialog, [&] {
            QVERIFY(Find<QCheckBox>(dialog, "CBPoin")->isChecked());
            QCOMPARE(Find<TColourShape>(dialog, "SHSele")->Colour(), 0x00FF00FFu);
            Click(Find<QCheckBox>(dialog, "CBRadi"));
            Click(Find<QCheckBox>(dialog, "CBFit_End_"));
            QVERIFY(!Find<QWidget>(dialog, "BTMatcEnd_Aspe")->isEnabled());
            dialog->Tabs->setCurrentIndex(1);
            Click(Find<QPushButton>(dialog, "BTChanSele"));
            dialog->Tabs->setCurrentIndex(2);
            Type(Find<QSpinBox>(dialog, "SEPoinSize"), "12");
            Click(Find<QRadioButton>(dialog, "RBResa"));
            Click(dialog->BTCancel);
        }, [&] { QVERIFY(!RunEnviromentSettings(*project)); });
        QCOMPARE(int(project->Record()->Node.View.ShowRadii), 0);
        QVERIFY(!project->IsModified());

        WhileOpen(dialog, [&] {
            QVERIFY(!Find<QCheckBox>(dialog, "CBRadi")->isChecked());
            Click(Find<QCheckBox>(dialog, "CBRadi"));
            dialog->Tabs->setCurrentIndex(1);
            Click(Find<QPushButton>(dialog, "BTChanSele"));
            dialog->Tabs->setCurrentIndex(2);
            Type(Find<QSpinBox>(dialog, "SEPoinSize"), "12");
            Click(dialog->BTOK);
        }, [&] { QVERIFY(RunEnviromentSettings(*project)); });
        // Both node views draw with the new settings.
        auto* nodes = qobject_cast<TNodeEditForm*>(project);
        QVERIFY(nodes);
        for (bool left : {true, false}) {
            const TNodeDefs& n = nodes->View(left)->Nodes;
            QVERIFY(n.ShowPoints && n.ShowRadii);
            QCOMPARE(n.SelectedPointColor, 0x00030201u);
            QCOMPARE(n.PointSize, 12);
        }
        const QString file = Dir->filePath("node.prj");
        QVERIFY(!project->SaveProj(file));
        const QByteArray b = ReadFileBytes(file);
        QCOMPARE(b.size(), 1734);
        QCOMPARE(int(b[30 + 1687]), 1);                 // show radii
        QCOMPARE(Int32At(b, 30 + 1692), 0x00030201);    // selected-point colour
        QCOMPARE(Int32At(b, 30 + 1700), 12);            // point size
    }
};

QTEST_MAIN(TestSettingsDialogs)
#include "tst_settings_dialogs.moc"
