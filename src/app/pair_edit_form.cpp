#include "app/pair_edit_form.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QResizeEvent>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "app/dialog_hooks.h"
#include "app/main_morf_form.h"
#include "app/mesh_info_form.h"
#include "app/picture_filters.h"
#include "app/program_folder.h"
#include "app/project_fields.h"
#include "app/resu_form.h"
#include "views/pict_imag.h"
#include "app/settings_commands.h"
#include "app/warp_mode_form.h"
#include "images/error_box.h"
#include "images/picture_file.h"
#include "mesh/mesh_frame.h"
#include "project/project_file.h"
#include "project/project_material.h"

namespace {

const char* const kMeshFilter = "MSH - Quorvix definition mesh (*.msh)";
// The project window may not be narrower than its left pane plus this, nor
// lower than kMinimumHeight.
constexpr int kMinimumExtraWidth = 117;
constexpr int kMinimumHeight = 112;
// A stored placement is untrusted: windows stay within reach, and of a
// sensible size.
constexpr int kFarthest = 4000;
constexpr int kLargestClient = 4000;

ShortName& MeshNameField(ProjectRecord& record, bool left)
{
    return left ? record.Common().LeftDefs : record.Common().RightDefs;
}

const ShortName& MeshNameField(const ProjectRecord& record, bool left)
{
    return left ? record.Common().LeftDefs : record.Common().RightDefs;
}

}  // namespace

TPairEditForm::TPairEditForm(uint8_t windowKind, TMainMorfForm* owner, ProjectKind kind, const QString& fileName,
                             const ProjectRecord& record, bool fromFile)
    : TProjectForm(windowKind), Owner(owner)
{
    FromFile = fromFile;
    if (fromFile) {
        Rec = record;
        Rec.Kind = kind;
        Name = fileName;
    } else {
        // The defaults first: the views and dialogs read the record.
        Name = owner->New_ProjName();
        const QString left = owner->New_MeshName();
        const QString right = owner->New_MeshName();
        SetNewProjectDefaults(Rec, kind, ToNativePath(ProgramFolder()), ToNativePath(left), ToNativePath(right));
    }
}

TPairEditForm::~TPairEditForm() { DestroyResult(); }

void TPairEditForm::DestroyResult()
{
    Destroying = true;
    ClosingAccepted = true;
    delete ResultFrame.data();
}

void TPairEditForm::SetResultForm(TResuForm* result)
{
    Result = result;
    SetResultWindow(result);
    connect(Result, &TResuForm::ClientResized, this, [this] {
        if (Ready && !Destroying)
            Modified = true;
    });
}

void TPairEditForm::Show(TPairEditForm* form)
{
    TMainMorfForm* owner = form->Owner;
    // The project window first, so that the MDI area places it and not the
    // result window; activated again, it ends on top.
    QMdiSubWindow* sub = owner->AddChild(form);
    QMdiSubWindow* resultSub = owner->AddChild(form->Result);
    form->ResultFrame = resultSub;
    connect(form->Result->ResuImag(), &TResuImag::StatusText, owner, &TMainMorfForm::SetStatusText);
    form->PlaceWindows(sub, resultSub);
    owner->MdiArea()->setActiveSubWindow(sub);
    owner->SetFrameRange(TotalFramesOf(form->Rec), CurrentFrameOf(form->Rec));
    form->InitViews(form->FromFile);
    form->UpdateMinimumSize();
    form->UpdateCaption();
    form->ClearViewsModified();
    form->ActivateProject();
    form->Ready = true;
}

PaneLayout TPairEditForm::Layout() const
{
    return Rec.Kind == ProjectKind::Mesh ? PaneLayoutOf(Rec.Mesh.View) : PaneLayoutOf(Rec.Node.View);
}

void TPairEditForm::InstallPanes(TPairPanes* panes)
{
    Panes = panes;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Panes);
    ProjectCommon& c = Rec.Common();
    bool shown[2] = {false, false};
    for (bool left : {true, false}) {
        Panes->PictView(left)->SetToolSource([this] { return CurrentTool(); });
        if (!FromFile)
            continue;
        ShortName& stored = left ? c.LeftPicture : c.RightPicture;
        if (stored.Get().empty())
            continue;  // none chosen yet: nothing failed
        const std::string file = LocateProjectFile(stored.Get(), ToNativePath(Name));
        RasterImage picture;
        LoadPicture(file.empty() ? stored.Get() : file, picture);
        if (picture.Allocated) {
            Panes->ShowPicture(left, std::move(picture), left ? c.LeftRegion : c.RightRegion);
            shown[left ? 0 : 1] = true;
        } else {
            stored.Set(std::string());
            Modified = true;
        }
    }
    // An opened project sizes the views that show a picture to the stored
    // panes; empty views and a new project's keep their own size.
    Panes->ApplyLayout(Layout(), shown[0], shown[1]);
    ApplyDrawing();
    connect(Panes, &TPairPanes::StatusText, Owner, &TMainMorfForm::SetStatusText);
    connect(Panes, &QSplitter::splitterMoved, this, &TPairEditForm::UpdateMinimumSize);

    const QSize leftSize = Panes->PictView(true)->size(), rightSize = Panes->PictView(false)->size();
    const int frame = TPairPanes::kPaneFrame;
    if (FromFile)
        ClientSize = QSize(std::clamp(c.ClientWidth, 1, kLargestClient), std::clamp(c.ClientHeight, 1, kLargestClient));
    else
        ClientSize = QSize(leftSize.width() + rightSize.width() + TPairPanes::kDividerWidth + 2 * frame,
                           leftSize.height() + frame);
    resize(ClientSize);
    Panes->resize(size());
    Panes->FitLeftPane();
}

void TPairEditForm::LoadDefinitions()
{
    ProjectCommon& c = Rec.Common();
    const std::string project = ToNativePath(Name);
    auto located = [&](const ShortName& stored) {
        const std::string file = LocateProjectFile(stored.Get(), project);
        return file.empty() ? stored.Get() : file;
    };
    if (!LoadDefs(true, located(c.LeftDefs), false)) {
        CopyDefs(false);
        if (LoadDefs(false, located(c.RightDefs), true)) {
            Modified = true;
            c.RightDefs.Set(ToNativePath(Owner->New_MeshName()));
        }
        return;
    }
    Modified = true;
    SetDefsModified(true);
    if (!LoadDefs(false, located(c.RightDefs), false)) {
        CopyDefs(true);
        c.LeftDefs = c.RightDefs;
        return;
    }
    c.LeftDefs.Set(ToNativePath(Owner->New_MeshName()));
    c.RightDefs.Set(ToNativePath(Owner->New_MeshName()));
    SetDefsModified(false);
}

bool TPairEditForm::HasPicture(bool left) const { return Panes->HasPicture(left); }

const RasterImage& TPairEditForm::Picture(bool left) const { return Panes->PictView(left)->GetPicture(); }

void TPairEditForm::ShowPicture(bool left, RasterImage&& picture) { Panes->ShowPicture(left, std::move(picture)); }

int TPairEditForm::LeftPaneWidth() const { return Panes->Pane(true)->width(); }

void TPairEditForm::StoreViews(ProjectRecord& record) const
{
    ProjectCommon& c = record.Common();
    c.DividerPos = Panes->DividerPos();
    Panes->StoreRegion(true, c.LeftRegion);
    Panes->StoreRegion(false, c.RightRegion);
    int32_t& width = record.Kind == ProjectKind::Mesh ? record.Mesh.View.ResultWidth : record.Node.View.ResultWidth;
    int32_t& height =
        record.Kind == ProjectKind::Mesh ? record.Mesh.View.ResultHeight : record.Node.View.ResultHeight;
    width = Result->width();
    height = Result->height();
}

void TPairEditForm::InitViews(bool fromFile)
{
    Panes->ApplyLayout(Layout(), !fromFile, !fromFile);
    if (Rec.Kind == ProjectKind::Mesh)
        Result->ApplyViewSettings(Rec.Mesh.View);
    else
        Result->ApplyViewSettings(Rec.Node.View);
    ApplyDrawing();
    Panes->FitLeftPane();
}

QSize TPairEditForm::ViewOuterSize(bool left) const { return Panes->PictView(left)->size(); }

void TPairEditForm::EnviromentApplied()
{
    Panes->ApplyLayout(Layout(), true, true);
    ApplyDrawing();
    for (bool left : {true, false})
        Panes->PictView(left)->RefreshView();
    Panes->FitLeftPane();
    UpdateMinimumSize();
}

void TPairEditForm::RepaintViews()
{
    Panes->PictView(true)->update();
    Panes->PictView(false)->update();
}

void TPairEditForm::PlaceWindows(QMdiSubWindow* sub, QMdiSubWindow* resultSub)
{
    const ProjectCommon& c = Rec.Common();
    if (FromFile) {
        sub->move(std::clamp(c.WindowLeft, 0, kFarthest), std::clamp(c.WindowTop, 0, kFarthest));
        resultSub->move(std::clamp(c.ResultLeft, 0, kFarthest), std::clamp(c.ResultTop, 0, kFarthest));
    } else {
        // Below the project window, centred on it, at its first size.
        Result->SetClientSize(160, 100);
        const QRect g = sub->geometry();
        resultSub->move(g.left() + g.width() / 2 - resultSub->width() / 2, g.top() + g.height() + 1);
    }
}

void TPairEditForm::CreateMenus()
{
    auto add = [this](QMenu* menu, const char* name, const QString& text, const char* shortcut, auto slot) {
        QAction* a = menu->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        if (shortcut)
            a->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    File1 = new QMenu(QStringLiteral("&File"), this);
    File1->setObjectName(QStringLiteral("ProjectFile1"));
    add(File1, "MINewProj", QStringLiteral("&New project"), "Ctrl+N", [this] { Owner->NewProject(); });
    add(File1, "MIOpenProj", QStringLiteral("&Open project"), "Ctrl+O", [this] { Owner->OpenProject(); });
    add(File1, "MICloseProj", QStringLiteral("&Close project"), nullptr, [this] { Frame()->close(); });
    File1->addSeparator();
    add(File1, "MISaveProj", QStringLiteral("&Save project"), "Ctrl+S", [this] { SaveProject1Click(); });
    add(File1, "MISaveProjAs", QStringLiteral("Save project &as ..."), nullptr, [this] { SaveProjectAs1Click(); });
    File1->addSeparator();
    add(File1, "MILoadPict", QStringLiteral("&Load picture"), nullptr, [this] { LoadPicture1Click(); });
    add(File1, "MILoadMesh", QStringLiteral("Load &mesh"), "Ctrl+L", [this] { LoadMesh1Click(); });
    add(File1, "MISaveMesh", QStringLiteral("Save m&esh"), nullptr, [this] { SaveMesh1Click(); });
    add(File1, "MISaveMeshAs", QStringLiteral("Save mes&h as ..."), "Ctrl+H", [this] { SaveMeshAs1Click(); });
    File1->addSeparator();
    add(File1, "MISaveResu", QStringLiteral("Save result p&icture as ..."), "Ctrl+A",
        [this] { SaveResultPicture1Click(); });
    File1->addSeparator();
    add(File1, "MIExit", QStringLiteral("E&xit"), nullptr, [this] { Owner->close(); });

    Run1 = new QMenu(QStringLiteral("&Run"), this);
    Run1->setObjectName(QStringLiteral("Run1"));
    add(Run1, "MIMorphing", QStringLiteral("&Morphing"), "Ctrl+G", [this] { Morphing1Click(); });
    Settings1 = CreateSettingsMenu(*this);
}

QList<MergedMenu> TPairEditForm::MergedMenus() { return {{0, File1}, {6, Run1}, {kSettingsMenuGroup, Settings1}}; }

void TPairEditForm::showEvent(QShowEvent* event)
{
    TProjectForm::showEvent(event);
    if (ClientSize.isEmpty())
        return;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->resize(ClientSize + (sub->size() - size()));
    else
        resize(ClientSize);
    ClientSize = QSize();
    Panes->FitLeftPane();
}

void TPairEditForm::resizeEvent(QResizeEvent* event)
{
    TProjectForm::resizeEvent(event);
    if (Ready && !Destroying && ResizeModifies() && event->oldSize().isValid() && event->oldSize() != event->size())
        Modified = true;
}

void TPairEditForm::UpdateMinimumSize()
{
    Frame()->setMinimumSize(LeftPaneWidth() + kMinimumExtraWidth, kMinimumHeight);
}

void TPairEditForm::ActivateProject() { Owner->ActivateProject(this); }

void TPairEditForm::DeActivateProject() { Owner->DeActivateProject(); }

QSize TPairEditForm::PictureSize(bool left) const
{
    const RasterImage& p = Picture(left);
    return HasPicture(left) && p.Allocated ? QSize(p.Width(), p.Height()) : QSize(0, 0);
}

// Saving and the close query.

void TPairEditForm::RefreshRecordFromWindow(ProjectRecord& record) const
{
    ProjectCommon& c = record.Common();
    const QWidget* frame = Frame();
    c.WindowTop = frame->y();
    c.WindowLeft = frame->x();
    c.ClientWidth = width();
    c.ClientHeight = height();
    const QWidget* resultFrame = FrameOf(Result);
    c.ResultTop = resultFrame->y();
    c.ResultLeft = resultFrame->x();
    StoreViews(record);
}

bool TPairEditForm::SaveProj(const QString& fileName)
{
    // The record changes only with a file that holds it.
    ProjectRecord refreshed = Rec;
    RefreshRecordFromWindow(refreshed);
    if (::SaveProj(ToNativePath(fileName), refreshed))
        return true;
    Rec = refreshed;
    Modified = false;
    ClearViewsModified();
    return false;
}

QString TPairEditForm::MeshName(bool left) const { return FromNativePath(MeshNameField(Rec, left).Get()); }

std::string TPairEditForm::MeshPath(bool left) const
{
    // A name without a folder lives beside the project file (or, before the
    // project has one, in the "Data" folder).
    const std::string stored = ToNativePath(MeshName(left));
    const std::string found = LocateProjectFile(stored, FromFile ? ToNativePath(Name) : std::string());
    if (!found.empty() || stored.empty() || QFileInfo(MeshName(left)).isAbsolute())
        return found.empty() ? stored : found;
    const QString folder = FromFile ? QFileInfo(Name).absolutePath() + QStringLiteral("/") : DialogStart();
    return ToNativePath(folder + QFileInfo(MeshName(left)).fileName());
}

bool TPairEditForm::SaveMeshAs(bool left)
{
    const QString title = SideTitle("save", "mesh", left);
    const QString chosen =
        RunSaveFileDialog(this, title, DialogStart(MeshName(left)), QString::fromLatin1(kMeshFilter));
    if (chosen.isEmpty() || SaveDefs(left, ToNativePath(chosen)))
        return true;
    MeshNameField(Rec, left).Set(ToNativePath(chosen));
    Modified = true;
    return false;
}

void TPairEditForm::SaveProject1Click()
{
    if (FromFile) {
        SaveProj(Name);
    } else {
        const QMessageBox::StandardButton answer = AskSaveChanges(Name);
        if (answer == QMessageBox::Cancel)
            return;
        if (answer == QMessageBox::Yes)
            SaveProjectAs();
    }
    for (bool left : {true, false}) {
        if (!DefsIsNew(left)) {
            WriteMesh(left);
            continue;
        }
        const QMessageBox::StandardButton answer = AskSaveChanges(MeshName(left));
        if (answer == QMessageBox::Cancel)
            return;
        // A new name leaves the project modified: the file written above
        // still names the old one.
        if (answer == QMessageBox::Yes)
            SaveMeshAs(left);
    }
}

bool TPairEditForm::ChangedSinceSaved() const
{
    if (!FromFile)
        return true;
    const ProjectCommon& c = Rec.Common();
    const QWidget* frame = Frame();
    const QWidget* resultFrame = FrameOf(Result);
    return Modified || ViewsModified() || frame->y() != c.WindowTop || frame->x() != c.WindowLeft ||
           resultFrame->y() != c.ResultTop || resultFrame->x() != c.ResultLeft;
}

bool TPairEditForm::QueryMesh(bool left, bool& renamed)
{
    const bool isNew = DefsIsNew(left);
    if (!isNew && !DefsModified(left))
        return true;
    const QMessageBox::StandardButton answer = AskSaveChanges(MeshName(left));
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::No)
        return true;
    // Definitions that could not be written keep the window open.
    if (!isNew)
        return !WriteMesh(left);
    if (SaveMeshAs(left))
        return false;
    renamed = true;
    return true;
}

void TPairEditForm::closeEvent(QCloseEvent* event)
{
    bool projectSaved = false;
    if (ChangedSinceSaved()) {
        const QMessageBox::StandardButton answer = AskSaveChanges(Name);
        // A save that fails or is cancelled keeps the window, so that the
        // changes are not lost behind the user's back.
        if (answer == QMessageBox::Cancel ||
            (answer == QMessageBox::Yes && (FromFile ? SaveProj(Name) : SaveProjectAs()))) {
            event->ignore();
            return;
        }
        projectSaved = answer == QMessageBox::Yes;
    }
    bool renamed = false;
    const bool agreed = QueryMesh(true, renamed) && QueryMesh(false, renamed);
    // The window goes: the project file just written must name the new
    // definition files, or they would be lost to it.
    if (projectSaved && renamed && SaveProj(Name)) {
        event->ignore();
        return;
    }
    if (!agreed) {
        event->ignore();
        return;
    }
    ClosingAccepted = true;
    DeActivateProject();
    event->accept();
}

// Pictures and definitions.

int TPairEditForm::AskSide(bool defs)
{
    TTwoChoiceForm* form = defs ? static_cast<TTwoChoiceForm*>(Owner->MeshSeleForm())
                                : static_cast<TTwoChoiceForm*>(Owner->ImagSeleForm());
    return form->Ask();
}

void TPairEditForm::LoadPicture1Click()
{
    const int side = AskSide(false);
    if (side >= 0)
        LoadImag(side == 0);
}

void TPairEditForm::LoadImag(bool left)
{
    std::string name;
    RasterImage picture;
    if (!AskForPicture(left, name, picture))
        return;
    (left ? Rec.Common().LeftPicture : Rec.Common().RightPicture).Set(name);
    ShowPicture(left, std::move(picture));
    UpdateMinimumSize();
    Modified = true;
}

void TPairEditForm::LoadMesh1Click()
{
    const int side = AskSide(true);
    if (side < 0)
        return;
    const bool left = side == 0;
    const QString chosen = RunOpenFileDialog(this, SideTitle("load", "mesh", left),
                                             DialogStart(), QString::fromLatin1(kMeshFilter));
    if (chosen.isEmpty() || LowerExtension(ToNativePath(chosen)) != ".msh")
        return;
    if (LoadDefs(left, ToNativePath(chosen), true))
        return;
    MeshNameField(Rec, left).Set(ToNativePath(chosen));
    Modified = true;
}

void TPairEditForm::SaveMesh1Click()
{
    const int side = AskSide(true);
    if (side < 0)
        return;
    const bool left = side == 0;
    if (!DefsIsNew(left)) {
        WriteMesh(left);
        return;
    }
    if (AskSaveChanges(MeshName(left)) == QMessageBox::Yes)
        SaveMeshAs(left);
}

void TPairEditForm::SaveMeshAs1Click()
{
    const int side = AskSide(true);
    if (side >= 0)
        SaveMeshAs(side == 0);
}

void TPairEditForm::SaveResultPicture1Click()
{
    const QString chosen = RunSaveFileDialog(this, ApplicationTitle() + QStringLiteral(" - save result picture"),
                                             DialogStart(), QString::fromLatin1(kSavePictureFilter));
    if (!chosen.isEmpty())
        SavePicture(ToNativePath(chosen), Result->ResuImag()->GetPicture());
}

// Frames.

bool TPairEditForm::PicturesReady() const
{
    if (HasPicture(true) && HasPicture(false))
        return true;
    ShowErrorBox(14, "Load the start and end pictures first.");
    return false;
}

template <class Morph>
void TPairEditForm::Report(const Morph& s)
{
    const size_t frames =
        AnimationFrames(s.DoAnimation != 0, s.WarpSide != 0, s.FirstFrame, s.LastFrame, s.CurrentFrame).size();
    const std::string path = s.OutputPath.Get();
    const QString where =
        s.OutputType == static_cast<uint8_t>(OutputKind::Avi)
            ? QStringLiteral("the movie ") + FromNativePath(MovieFileName(OutputFileBase(path, s.OutputPrefix.Get())))
            : WithSeparator(FromNativePath(path));
    Owner->ShowStatusMessage(
        QStringLiteral("%1 %2 written to %3").arg(frames).arg(frames == 1 ? "frame" : "frames", where));
}

void TPairEditForm::ReportAnimation(const MeshMorphSettings& settings) { Report(settings); }

void TPairEditForm::ReportAnimation(const NodeMorphSettings& settings) { Report(settings); }

void TPairEditForm::ShowFrame(RasterImage&& picture)
{
    TResuImag* view = Result->ResuImag();
    view->SetPicture(std::move(picture));
    view->RefreshView();
}

void TPairEditForm::ShowInfo()
{
    TMeshInfoForm* form = InfoForm();
    const ProjectCommon& c = Rec.Common();
    auto side = [&](bool left) {
        MeshInfoSide s;
        s.MeshFile = FromNativePath((left ? c.LeftDefs : c.RightDefs).Get());
        s.PictureFile = FromNativePath((left ? c.LeftPicture : c.RightPicture).Get());
        FillInfoSize(left, s);
        return s;
    };
    form->Fill(Name, side(true), side(false));
    RunShowBox(*form);
}

void TPairEditForm::Morphing1Click()
{
    const bool accepted = RunMorphSettings(*this);
    FrameOf(Result)->raise();
    if (accepted)
        GenerateAnimation();
}
