#include "app/main_morf_form.h"

#include "app/resu_form.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>

#include "app/about_form.h"
#include "app/cursor_file.h"
#include "app/dialog_hooks.h"
#include "app/edit_ance_form.h"
#include "app/envi_form.h"
#include "app/mesh_edit_form.h"
#include "app/node_edit_form.h"
#include "app/mesh_info_form.h"
#include "app/mesh_resu_form.h"
#include "app/program_folder.h"
#include "app/progress_panel.h"
#include "app/project_fields.h"
#include "app/sele_path_form.h"
#include "app/sett_form.h"
#include "app/tool_glyphs.h"
#include "app/warp_mode_form.h"
#include "images/error_box.h"
#include "node/node_frame.h"
#include "project/project_file.h"
#include "views/program_state.h"

namespace {
TMainMorfForm* g_mainForm = nullptr;

constexpr int kMaxFrames = 32768;
}  // namespace

TMainMorfForm* TMainMorfForm::Instance() { return g_mainForm; }

TMainMorfForm::TMainMorfForm(QWidget* parent) : QMainWindow(parent)
{
    g_mainForm = this;
    setObjectName(QStringLiteral("MainMorfForm"));
    setWindowTitle(QStringLiteral("Quorvix"));

    MDIArea = new QMdiArea(this);
    MDIArea->setObjectName(QStringLiteral("MDIArea"));
    setCentralWidget(MDIArea);
    connect(MDIArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow*) { SubWindowChanged(); });

    CreateActions();
    CreateMenus();
    CreateToolBars();
    CreateStatusBar();
    // The dialogs, hidden until needed, in their order of creation.
    WarpMode = new TWarpModeForm(this);
    MeshSett = new TMeshSettForm(this);
    MeshEnvi = new TMeshEnviForm(this);
    NodeEnvi = new TNodeEnviForm(this);
    NodeSett = new TNodeSettForm(this);
    ImagSele = new TImagSeleForm(this);
    MeshSele = new TMeshSeleForm(this);
    MeshInfo = new TMeshInfoForm(this);
    NodeInfo = new TMeshInfoForm(this, true);
    SelePath = new TSelePathForm(this);
    MeshSett->SetPathForm(SelePath);
    NodeSett->SetPathForm(SelePath);

    Progress = std::make_unique<TProgressDisplay>(this, PNProgress);
    PreviousProgress = SetProgressDisplay(Progress.get());

    // A client area of 720 x 500 below the menu bar, centred on the screen.
    resize(720, 500 + menuBar()->sizeHint().height());
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));

    CaptureProgramFolder();
    LoadResources(ProgramFolder());
    DeActivateProject();
}

TMainMorfForm::~TMainMorfForm()
{
    // The children outlive this part of the object: they must not call back
    // into it while the base class destroys them.
    MDIArea->disconnect(this);
    for (QMdiSubWindow* sub : MDIArea->subWindowList())
        sub->disconnect(this);
    SetProgressDisplay(PreviousProgress);
    if (g_mainForm == this)
        g_mainForm = nullptr;
}

QAction* TMainMorfForm::NewAction(const char* objectName, const QString& text, const QString& hint)
{
    auto* action = new QAction(text, this);
    action->setObjectName(QString::fromLatin1(objectName));
    if (!hint.isEmpty())
        action->setToolTip(hint);
    return action;
}

void TMainMorfForm::CreateActions()
{
    NewProject1 = NewAction("NewProject1", QStringLiteral("&New Project"), QStringLiteral("New project"));
    NewProject1->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
    NewProject1->setIcon(MakeToolGlyph(ToolGlyph::NewProject));
    connect(NewProject1, &QAction::triggered, this, &TMainMorfForm::NewProject);

    OpenProject1 = NewAction("OpenProject1", QStringLiteral("&Open project"), QStringLiteral("Open project"));
    OpenProject1->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    OpenProject1->setIcon(MakeToolGlyph(ToolGlyph::OpenProject));
    connect(OpenProject1, &QAction::triggered, this, &TMainMorfForm::OpenProject);

    Exit1 = NewAction("Exit1", QStringLiteral("E&xit"), QString());
    connect(Exit1, &QAction::triggered, this, &QWidget::close);

    StandardToolbar1 = NewAction("StandardToolbar1", QStringLiteral("&Standard toolbar"), QString());
    ToolToolbar1 = NewAction("ToolToolbar1", QStringLiteral("&Tool toolbar"), QString());
    MorphToolbar1 = NewAction("MorphToolbar1", QStringLiteral("&Morph toolbar"), QString());
    StatusLine1 = NewAction("StatusLine1", QStringLiteral("Status &line"), QString());
    for (QAction* a : {StandardToolbar1, ToolToolbar1, MorphToolbar1, StatusLine1}) {
        a->setCheckable(true);
        a->setChecked(true);
    }

    ProjectInfo1 = NewAction("ProjectInfo1", QStringLiteral("&Project Info"), QString());
    ProjectInfo1->setShortcut(QKeySequence(QStringLiteral("Ctrl+I")));
    connect(ProjectInfo1, &QAction::triggered, this, [this] {
        if (TEditAnceForm* p = ActiveProject())
            p->ShowInfo();
    });

    Tile1 = NewAction("Tile1", QStringLiteral("&Tile"), QString());
    connect(Tile1, &QAction::triggered, MDIArea, &QMdiArea::tileSubWindows);
    Cascade1 = NewAction("Cascade1", QStringLiteral("&Cascade"), QString());
    connect(Cascade1, &QAction::triggered, MDIArea, &QMdiArea::cascadeSubWindows);
    ArrangeIcons1 = NewAction("ArrangeIcons1", QStringLiteral("&Arrange icons"), QString());
    connect(ArrangeIcons1, &QAction::triggered, this, &TMainMorfForm::ArrangeIcons);

    Index1 = NewAction("Index1", QStringLiteral("&Index"), QString());
    Index1->setEnabled(false);
    About1 = NewAction("About1", QStringLiteral("&About..."), QString());
    connect(About1, &QAction::triggered, this, [this] {
        TAboutForm about(this);
        about.exec();
    });

    SBSaveProj = NewAction("SBSaveProj", QStringLiteral("Save project"), QStringLiteral("Save project"));
    SBSaveProj->setIcon(MakeToolGlyph(ToolGlyph::SaveProject));
    connect(SBSaveProj, &QAction::triggered, this, [this] {
        if (TEditAnceForm* p = ActiveProject())
            p->SaveProject1Click();
    });
    SBLoadLeft = NewAction("SBLoadLeft", QStringLiteral("Load start picture"), QStringLiteral("Load start picture"));
    SBLoadLeft->setIcon(MakeToolGlyph(ToolGlyph::LoadStart));
    connect(SBLoadLeft, &QAction::triggered, this, [this] {
        if (TEditAnceForm* p = ActiveProject())
            p->LoadLeftImag();
    });
    SBLoadRigh = NewAction("SBLoadRigh", QStringLiteral("Load end picture"), QStringLiteral("Load end picture"));
    SBLoadRigh->setIcon(MakeToolGlyph(ToolGlyph::LoadEnd));
    connect(SBLoadRigh, &QAction::triggered, this, [this] {
        if (TEditAnceForm* p = ActiveProject())
            p->LoadRighImag();
    });

    ToolGroup = new QActionGroup(this);
    ToolGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    struct ToolButton {
        QAction** Action;
        const char* Name;
        const char* Hint;
        ToolGlyph Glyph;
        uint8_t Tool;
    };
    const ToolButton tools[] = {
        {&SBEdit, "SBEdit", "Edit", ToolGlyph::Edit, 0},
        {&SBZoomIn__, "SBZoomIn__", "Zoom In", ToolGlyph::ZoomIn, 2},
        {&SBZoomAll_, "SBZoomAll_", "Zoom all (1:1)", ToolGlyph::ZoomAll, 3},
        {&SBHandMove, "SBHandMove", "Hand move", ToolGlyph::HandMove, 4},
        {&SBDelete__, "SBDelete__", "Delete", ToolGlyph::Delete, 1},
    };
    for (const ToolButton& t : tools) {
        QAction* a = NewAction(t.Name, QString::fromLatin1(t.Hint), QString::fromLatin1(t.Hint));
        a->setCheckable(true);
        a->setIcon(MakeToolGlyph(t.Glyph));
        ToolGroup->addAction(a);
        const uint8_t tool = t.Tool;
        connect(a, &QAction::triggered, this, [this, tool] { ToolClick(tool); });
        *t.Action = a;
    }

    SBShowLine = NewAction("SBShowLine", QStringLiteral("Show lines"), QStringLiteral("Show lines"));
    SBShowLine->setCheckable(true);
    connect(SBShowLine, &QAction::triggered, this, [this](bool down) { ShowToggleClick(true, down); });
    SBShowSpli = NewAction("SBShowSpli", QStringLiteral("Show splines"), QStringLiteral("Show splines"));
    SBShowSpli->setCheckable(true);
    connect(SBShowSpli, &QAction::triggered, this, [this](bool down) { ShowToggleClick(false, down); });

    SBWarpLeft = NewAction("SBWarpLeft", QStringLiteral("Preview: Warp left image"),
                           QStringLiteral("Preview: Warp left image"));
    SBWarpLeft->setIcon(MakeToolGlyph(ToolGlyph::WarpLeft));
    connect(SBWarpLeft, &QAction::triggered, this, [this] {
        if (TEditAnceForm* p = ActiveProject())
            p->WarpLeft(SEPrevFram->value());
    });
    SBMorf = NewAction("SBMorf", QStringLiteral("Preview: Morph one frame"), QStringLiteral("Preview: Morph one frame"));
    SBMorf->setIcon(MakeToolGlyph(ToolGlyph::MorphOne));
    connect(SBMorf, &QAction::triggered, this, [this] {
        if (TEditAnceForm* p = ActiveProject())
            p->MorfOne_(SEPrevFram->value());
    });
    SBWarpRigh = NewAction("SBWarpRigh", QStringLiteral("Preview: Warp right image"),
                           QStringLiteral("Preview: Warp right image"));
    SBWarpRigh->setIcon(MakeToolGlyph(ToolGlyph::WarpRight));
    connect(SBWarpRigh, &QAction::triggered, this, [this] {
        if (TEditAnceForm* p = ActiveProject())
            p->WarpRigh(SEPrevFram->value());
    });
    SBGeneAnim = NewAction("SBGeneAnim", QStringLiteral("Generate animation"), QStringLiteral("Generate animation"));
    SBGeneAnim->setIcon(MakeToolGlyph(ToolGlyph::Generate));
    connect(SBGeneAnim, &QAction::triggered, this, [this] {
        if (TEditAnceForm* p = ActiveProject())
            p->GenerateAnimation();
    });

    SEPrevFram = new QSpinBox(this);
    SEPrevFram->setObjectName(QStringLiteral("SEPrevFram"));
    SEPrevFram->setToolTip(QStringLiteral("Number of previewed frame"));
    SEPrevFram->setRange(1, kMaxFrames);
    SEPrevFram->setValue(5);
    // Arrows only: the number is not typed in.
    if (auto* edit = SEPrevFram->findChild<QLineEdit*>())
        edit->setReadOnly(true);
    SEPrevFram->setMinimumWidth(70);
    connect(SEPrevFram, &QSpinBox::valueChanged, this, &TMainMorfForm::FrameChanged);
}

void TMainMorfForm::CreateMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    file->addAction(NewProject1);
    file->addAction(OpenProject1);
    file->addSeparator();
    file->addAction(Exit1);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("View1"));
    view->addAction(StandardToolbar1);
    view->addAction(ToolToolbar1);
    view->addAction(MorphToolbar1);
    view->addAction(StatusLine1);
    view->addSeparator();
    view->addAction(ProjectInfo1);

    QMenu* window = menuBar()->addMenu(QStringLiteral("&Window"));
    window->setObjectName(QStringLiteral("Window1"));
    window->addAction(Tile1);
    window->addAction(Cascade1);
    window->addAction(ArrangeIcons1);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    help->addAction(Index1);
    help->addAction(About1);

    OwnMenus = {{0, file}, {5, view}, {10, window}, {15, help}};
}

void TMainMorfForm::MergeMenus(TEditAnceForm* project)
{
    const QList<MergedMenu> lent = project ? project->MergedMenus() : QList<MergedMenu>();
    QList<MergedMenu> shown = lent;
    for (const MergedMenu& own : OwnMenus) {
        const bool replaced =
            std::any_of(lent.begin(), lent.end(), [&](const MergedMenu& m) { return m.Group == own.Group; });
        if (!replaced)
            shown.append(own);
    }
    std::stable_sort(shown.begin(), shown.end(),
                     [](const MergedMenu& a, const MergedMenu& b) { return a.Group < b.Group; });
    // A lent "&File" brings its own "New project" and "Open project" with
    // the same short-cuts; the tool bar's buttons then give theirs up.
    const bool fileLent =
        std::any_of(lent.begin(), lent.end(), [](const MergedMenu& m) { return m.Group == 0; });
    NewProject1->setShortcut(fileLent ? QKeySequence() : QKeySequence(QStringLiteral("Ctrl+N")));
    OpenProject1->setShortcut(fileLent ? QKeySequence() : QKeySequence(QStringLiteral("Ctrl+O")));
    QMenuBar* bar = menuBar();
    for (QAction* a : bar->actions())
        bar->removeAction(a);
    for (const MergedMenu& m : shown)
        bar->addMenu(m.Menu);
}

void TMainMorfForm::CreateToolBars()
{
    TBFile = addToolBar(QStringLiteral("File"));
    TBFile->setObjectName(QStringLiteral("TBFile"));
    TBFile->addAction(NewProject1);
    TBFile->addAction(OpenProject1);
    TBFile->addAction(SBSaveProj);
    TBFile->addSeparator();
    TBFile->addAction(SBLoadLeft);
    TBFile->addAction(SBLoadRigh);

    TBTool = addToolBar(QStringLiteral("Tool"));
    TBTool->setObjectName(QStringLiteral("TBTool"));
    TBTool->addActions(ToolGroup->actions());
    TBTool->addSeparator();
    TBTool->addAction(SBShowLine);
    TBTool->addAction(SBShowSpli);

    TBMorf = addToolBar(QStringLiteral("Morph"));
    TBMorf->setObjectName(QStringLiteral("TBMorf"));
    TBMorf->addAction(SBWarpLeft);
    TBMorf->addAction(SBMorf);
    TBMorf->addAction(SBWarpRigh);
    TBMorf->addWidget(SEPrevFram);
    TBMorf->addAction(SBGeneAnim);

    const std::pair<QToolBar*, QAction*> views[] = {
        {TBFile, StandardToolbar1}, {TBTool, ToolToolbar1}, {TBMorf, MorphToolbar1}};
    for (auto [bar, check] : views) {
        bar->setMovable(true);
        bar->setFloatable(true);
        bar->setIconSize(QSize(20, 20));
        connect(check, &QAction::triggered, bar, [bar, check](bool shown) {
            bar->setVisible(shown);
            check->setChecked(shown);
        });
        // Hidden or shown some other way (its own close box, the context
        // menu): the check mark follows.
        connect(bar, &QToolBar::visibilityChanged, check, &QAction::setChecked);
    }
}

void TMainMorfForm::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    PNStatus = new QLabel(bar);
    PNStatus->setObjectName(QStringLiteral("PNStatus"));
    PNStatus->setFixedWidth(100);
    bar->addWidget(PNStatus);
    PNProgress = new TProgressPanel(bar);
    bar->addWidget(PNProgress);
    // What the last command did, in the rest of the bar.
    PNMessage = new QLabel(bar);
    PNMessage->setObjectName(QStringLiteral("PNMessage"));
    bar->addWidget(PNMessage, 1);
    connect(StatusLine1, &QAction::triggered, this, [this](bool shown) {
        statusBar()->setVisible(shown);
        StatusLine1->setChecked(shown);
    });
}

void TMainMorfForm::SetStatusText(const QString& text) { PNStatus->setText(text); }

void TMainMorfForm::ShowStatusMessage(const QString& text) { PNMessage->setText(text); }

QString TMainMorfForm::New_ProjName() { return QStringLiteral("Untitled%1.Prj").arg(++ProjectCounter); }

QString TMainMorfForm::New_MeshName() { return QStringLiteral("NewMesh%1.Msh").arg(++MeshCounter); }

bool TMainMorfForm::LoadResources(const QString& folder)
{
    const QString res = WithSeparator(folder) + QStringLiteral("Res/");
    const std::pair<const char*, QPixmap*> bitmaps[] = {
        {"Line.bmp", &LineBitmap}, {"Spli.bmp", &SpliBitmap}, {"Poin.bmp", &PoinBitmap}, {"Radi.bmp", &RadiBitmap}};
    for (auto [name, target] : bitmaps) {
        const QString fileName = res + QString::fromLatin1(name);
        if (!QFileInfo::exists(fileName)) {
            ShowErrorBox(11, "Error opening file " + ToNativePath(fileName));
            return false;
        }
        QImage image;
        if (!image.load(fileName, "BMP")) {
            ShowErrorBox(12, "Error reading from file: " + ToNativePath(fileName));
            return false;
        }
        *target = GlyphWithTransparency(image);
    }
    const char* cursors[] = {"rect.cur", "ArrL.cur", "ArrR.cur", "ArrT.cur",
                             "ArrB.cur", "ZooI.cur", "ZooO.cur", "Hand.cur"};
    for (int slot = 1; slot <= 8; ++slot) {
        QCursor cursor;
        // A cursor that cannot be had leaves the default in its slot.
        if (LoadCursorFile(res + QString::fromLatin1(cursors[slot - 1]), cursor))
            SetCursorSlot(slot, cursor);
    }
    SBShowLine->setIcon(LineBitmap);
    SBShowSpli->setIcon(SpliBitmap);
    return true;
}

TEditAnceForm* TMainMorfForm::ActiveProject() const
{
    // The current sub-window stays current while a dialog has the focus.
    QMdiSubWindow* sub = MDIArea->currentSubWindow();
    auto* form = sub ? qobject_cast<TEditAnceForm*>(sub->widget()) : nullptr;
    return form ? form->Project() : nullptr;
}

QMdiSubWindow* TMainMorfForm::AddChild(TEditAnceForm* form)
{
    QMdiSubWindow* sub = MDIArea->addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // Closing the last project leaves nothing current; the commands follow
    // once the sub-window is gone.
    connect(sub, &QObject::destroyed, this, &TMainMorfForm::SubWindowChanged, Qt::QueuedConnection);
    sub->show();
    MDIArea->setActiveSubWindow(sub);
    return sub;
}

TEditAnceForm* TMainMorfForm::CreateProjectWindow(ProjectKind kind, const QString& fileName,
                                                 const ProjectRecord* record)
{
    const ProjectRecord& r = record ? *record : ProjectRecord();
    if (kind == ProjectKind::Mesh)
        return TMeshEditForm::CreateProject(this, fileName, r, record != nullptr);
    return TNodeEditForm::CreateProject(this, fileName, r, record != nullptr);
}

void TMainMorfForm::NewProject()
{
    int method;
    if (Dialogs().ChooseWarpMethod) {
        method = Dialogs().ChooseWarpMethod(this);
    } else {
        method = WarpMode->exec() == QDialog::Accepted ? WarpMode->WarpMethod() : -1;
    }
    if (method < 0)
        return;
    CreateProjectWindow(method == 0 ? ProjectKind::Mesh : ProjectKind::Node, QString(), nullptr);
}

void TMainMorfForm::OpenProject()
{
    const QString start = WithSeparator(ProgramFolder()) + QStringLiteral("Data/");
    const QString fileName = RunOpenFileDialog(this, ApplicationTitle() + QStringLiteral(" - open project"), start,
                                               QString::fromLatin1(kProjectFilter));
    if (!fileName.isEmpty())
        OpenProjectFile(fileName);
}

bool TMainMorfForm::OpenProjectFile(const QString& fileName)
{
    ProjectRecord record;
    if (ReadProjectFile(ToNativePath(fileName), record))
        return false;
    CreateProjectWindow(record.Kind, fileName, &record);
    return true;
}

void TMainMorfForm::SetProjectCommandsEnabled(bool enabled)
{
    for (QAction* a : {SBSaveProj, SBLoadLeft, SBLoadRigh, ProjectInfo1, SBEdit, SBZoomIn__, SBZoomAll_, SBHandMove,
                       SBDelete__, SBShowLine, SBShowSpli, SBWarpLeft, SBMorf, SBWarpRigh, SBGeneAnim})
        a->setEnabled(enabled);
    SEPrevFram->setEnabled(enabled);
}

void TMainMorfForm::SetShowToggles(bool meshKind, bool firstDown, bool secondDown)
{
    const QString first = meshKind ? QStringLiteral("Show lines") : QStringLiteral("Show points");
    const QString second = meshKind ? QStringLiteral("Show splines") : QStringLiteral("Show radii");
    SBShowLine->setText(first);
    SBShowLine->setToolTip(first);
    SBShowSpli->setText(second);
    SBShowSpli->setToolTip(second);
    const QPixmap& firstGlyph = meshKind ? LineBitmap : PoinBitmap;
    const QPixmap& secondGlyph = meshKind ? SpliBitmap : RadiBitmap;
    if (!firstGlyph.isNull())
        SBShowLine->setIcon(firstGlyph);
    if (!secondGlyph.isNull())
        SBShowSpli->setIcon(secondGlyph);
    SBShowLine->setChecked(firstDown);
    SBShowSpli->setChecked(secondDown);
}

void TMainMorfForm::ActivateProject(TEditAnceForm* project)
{
    ProjectRecord* record = project ? project->Record() : nullptr;
    if (!record)
        return;
    Applying = true;
    ShownProject = project;
    SetProjectCommandsEnabled(true);
    SetFrameRange(TotalFramesOf(*record), CurrentFrameOf(*record));

    const uint8_t tool = record->Common().Tool;
    const bool mesh = record->Kind == ProjectKind::Mesh;
    (mesh ? MeshTool : NodeTool) = tool;
    // The node warp works with the parameters of the node project activated last.
    if (!mesh)
        ApplyNodeWarpParameters(record->Node.Morph);
    ResultTool = ResultToolFor(tool);
    QAction* pressed = nullptr;
    switch (tool) {
    case 0: pressed = SBEdit; break;
    case 2: pressed = SBZoomIn__; break;
    case 3: pressed = SBZoomAll_; break;
    case 4: pressed = SBHandMove; break;
    default: break;  // delete presses no button
    }
    if (pressed)
        pressed->setChecked(true);
    else if (QAction* checked = ToolGroup->checkedAction())
        checked->setChecked(false);

    SetShowToggles(mesh, FirstShowFlagOf(*record) != 0, SecondShowFlagOf(*record) != 0);
    Applying = false;
}

void TMainMorfForm::SetFrameRange(int32_t totalFrames, int32_t currentFrame)
{
    const bool applying = Applying;
    Applying = true;
    SEPrevFram->setMaximum(std::clamp(totalFrames, 1, kMaxFrames));
    SEPrevFram->setValue(std::clamp(currentFrame, 1, SEPrevFram->maximum()));
    Applying = applying;
}

void TMainMorfForm::DeActivateProject()
{
    ShownProject = nullptr;
    SBShowLine->setChecked(true);
    SBShowSpli->setChecked(false);
    SetProjectCommandsEnabled(false);
}

void TMainMorfForm::SubWindowChanged()
{
    BringPairForward();
    TEditAnceForm* project = ActiveProject();
    MergeMenus(project);
    if (project && project->Record()) {
        if (project != ShownProject)
            ActivateProject(project);
        return;
    }
    for (QMdiSubWindow* sub : MDIArea->subWindowList()) {
        auto* form = qobject_cast<TEditAnceForm*>(sub->widget());
        if (form && form->Project()->Record())
            return;  // projects remain; one of them becomes current next
    }
    DeActivateProject();
}

void TMainMorfForm::BringPairForward()
{
    // A project window and its result window come to the front together.
    QMdiSubWindow* sub = MDIArea->activeSubWindow();
    auto* form = sub ? qobject_cast<TEditAnceForm*>(sub->widget()) : nullptr;
    if (!form)
        return;
    if (auto* result = qobject_cast<TResuForm*>(form)) {
        result->ResultActivated(result->Project()->ClosingAccepted, result->Project()->Activating);
        return;
    }
    TEditAnceForm* result = form->ResultWindow();
    if (!result || result->Activating || form->ClosingAccepted)
        return;
    form->Activating = true;
    RaiseTogether(result, form);
    form->Activating = false;
}

void TMainMorfForm::ToolClick(uint8_t tool)
{
    TEditAnceForm* project = ActiveProject();
    ProjectRecord* record = project ? project->Record() : nullptr;
    if (!record)
        return;
    (record->Kind == ProjectKind::Mesh ? MeshTool : NodeTool) = tool;
    ResultTool = ResultToolFor(tool);
    record->Common().Tool = tool;
    project->MarkModified();
}

void TMainMorfForm::ShowToggleClick(bool first, bool down)
{
    TEditAnceForm* project = ActiveProject();
    ProjectRecord* record = project ? project->Record() : nullptr;
    if (!record)
        return;
    (first ? FirstShowFlagOf(*record) : SecondShowFlagOf(*record)) = down ? 1 : 0;
    project->MarkModified();
    project->ShowFlagsChanged();
}

void TMainMorfForm::FrameChanged(int value)
{
    if (Applying)
        return;
    TEditAnceForm* project = ActiveProject();
    ProjectRecord* record = project ? project->Record() : nullptr;
    if (!record)
        return;
    CurrentFrameOf(*record) = value;
    project->MarkModified();
}

void TMainMorfForm::ArrangeIcons()
{
    // Minimised children are lined up along the bottom edge, left to right.
    int x = 0;
    const QRect area = MDIArea->viewport()->rect();
    int y = area.bottom();
    for (QMdiSubWindow* sub : MDIArea->subWindowList()) {
        if (!sub->isMinimized())
            continue;
        if (x > 0 && x + sub->width() > area.width()) {
            x = 0;
            y -= sub->height();
        }
        sub->move(x, y - sub->height() + 1);
        x += sub->width();
    }
}

void TMainMorfForm::closeEvent(QCloseEvent* event)
{
    // Every project window answers its close query first; one refusal
    // keeps the main window open. Result windows follow their projects.
    QList<QPointer<QMdiSubWindow>> guarded;
    for (bool results : {false, true})
        for (QMdiSubWindow* sub : MDIArea->subWindowList())
            if ((qobject_cast<TResuForm*>(sub->widget()) != nullptr) == results)
                guarded.append(sub);
    for (const QPointer<QMdiSubWindow>& sub : guarded) {
        if (sub && !sub->close()) {
            event->ignore();
            return;
        }
    }
    event->accept();
}
