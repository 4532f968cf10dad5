#include "app/mesh_edit_form.h"

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
#include "app/mesh_panes.h"
#include "app/mesh_resu_form.h"
#include "app/picture_filters.h"
#include "app/program_folder.h"
#include "app/settings_commands.h"
#include "app/warp_mode_form.h"
#include "images/error_box.h"
#include "images/picture_file.h"
#include "mesh/mesh_frame.h"
#include "project/project_file.h"
#include "project/project_material.h"
#include "views/mesh_imag.h"

namespace {

const char* const kMeshFilter = "MSH - Quorvix definition mesh (*.msh)";
// The project window may not be narrower than its left pane plus this, nor
// lower than kMinimumHeight.
constexpr int kMinimumExtraWidth = 117;
constexpr int kMinimumHeight = 112;
// A stored placement is untrusted: windows stay within reach.
constexpr int kFarthest = 4000;

// " - load left image", " - save right mesh", ...: the dialog title's suffix.
QString SideSuffix(const char* verb, const char* noun, bool left)
{
    return QStringLiteral(" - %1 %2 %3")
        .arg(QLatin1String(verb), left ? QStringLiteral("left") : QStringLiteral("right"), QLatin1String(noun));
}

// A mesh made from another one's nodes: never saved, and changed.
void CopyMesh(TMeshDefsData& target, const TMeshDefsData& source)
{
    target = source;
    target.IsNew = true;
    target.Modified = true;
}

ShortName& MeshNameField(ProjectRecord& record, bool left)
{
    return left ? record.Common().LeftDefs : record.Common().RightDefs;
}

const ShortName& MeshNameField(const ProjectRecord& record, bool left)
{
    return left ? record.Common().LeftDefs : record.Common().RightDefs;
}

}  // namespace

TMeshEditForm* TMeshEditForm::CreateProject(TMainMorfForm* owner, const QString& fileName,
                                            const ProjectRecord& record, bool fromFile)
{
    auto* form = new TMeshEditForm(owner, fileName, record, fromFile);
    // The project window first, so that the MDI area places it and not the
    // result window; activated again, it ends on top.
    QMdiSubWindow* sub = owner->AddChild(form);
    QMdiSubWindow* resultSub = owner->AddChild(form->Result);
    form->ResultFrame = resultSub;
    connect(form->Result->ResuImag(), &TResuImag::StatusText, owner, &TMainMorfForm::SetStatusText);
    form->PlaceWindows(sub, resultSub);
    owner->MdiArea()->setActiveSubWindow(sub);
    form->InitProject(fromFile);
    form->UpdateCaption();
    form->Panes->View(true)->ClearModified();
    form->Panes->View(false)->ClearModified();
    form->ActivateProject();
    form->Ready = true;
    return form;
}

TMeshEditForm::TMeshEditForm(TMainMorfForm* owner, const QString& fileName, const ProjectRecord& record,
                             bool fromFile)
    : TProjectForm(kMeshProjectWindow), Owner(owner)
{
    setObjectName(QStringLiteral("MeshEditForm"));
    FromFile = fromFile;
    if (fromFile) {
        Rec = record;
        Rec.Kind = ProjectKind::Mesh;
        Name = fileName;
    } else {
        // The defaults first: the views and dialogs below read the record.
        Name = owner->New_ProjName();
        const QString left = owner->New_MeshName();
        const QString right = owner->New_MeshName();
        SetNewProjectDefaults(Rec, ProjectKind::Mesh, ToNativePath(ProgramFolder()), ToNativePath(left),
                              ToNativePath(right));
    }
    CreateViews();
    if (fromFile)
        LoadMeshes();
    CreateMenus();
    Result = new TMeshResuForm(this);
    SetResultWindow(Result);
    connect(Result, &TResuForm::ClientResized, this, [this] {
        if (Ready && !Destroying)
            Modified = true;
    });
}

TMeshEditForm::~TMeshEditForm()
{
    Destroying = true;
    ClosingAccepted = true;
    delete ResultFrame.data();
    delete Panes->View(false);
    delete Panes->View(true);
    delete Panes;
}

void TMeshEditForm::CreateViews()
{
    Panes = new TMeshPanes(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Panes);
    ProjectCommon& c = Rec.Common();
    bool shown[2] = {false, false};
    for (bool left : {true, false}) {
        TMeshImag* view = Panes->View(left);
        view->SetToolSource([this] { return CurrentTool(); });
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
    Panes->ApplyLayout(Rec.Mesh.View, shown[0], shown[1]);
    Panes->ApplyDrawing(Rec.Mesh.View);
    connect(Panes, &TMeshPanes::MeshEdited, this, &TMeshEditForm::MarkModified);
    connect(Panes, &TMeshPanes::StatusText, Owner, &TMainMorfForm::SetStatusText);
    connect(Panes, &QSplitter::splitterMoved, this, &TMeshEditForm::UpdateMinimumSize);

    const QSize leftSize = Panes->View(true)->size(), rightSize = Panes->View(false)->size();
    const int frame = TMeshPanes::kPaneFrame;
    if (FromFile)
        ClientSize = QSize(std::clamp(c.ClientWidth, 1, kFarthest), std::clamp(c.ClientHeight, 1, kFarthest));
    else
        ClientSize = QSize(leftSize.width() + rightSize.width() + TMeshPanes::kDividerWidth + 2 * frame,
                           leftSize.height() + frame);
    resize(ClientSize);
    Panes->resize(size());
    Panes->FitLeftPane();
}

void TMeshEditForm::LoadMeshes()
{
    ProjectCommon& c = Rec.Common();
    const std::string project = ToNativePath(Name);
    auto located = [&](const ShortName& stored) {
        const std::string file = LocateProjectFile(stored.Get(), project);
        return file.empty() ? stored.Get() : file;
    };
    TMeshDefsData& left = MeshData(true);
    TMeshDefsData& right = MeshData(false);
    if (!left.LoadFromFile(located(c.LeftDefs), false)) {
        CopyMesh(right, left);
        if (right.LoadFromFile(located(c.RightDefs), true)) {
            Modified = true;
            c.RightDefs.Set(ToNativePath(Owner->New_MeshName()));
            right.Modified = true;
        }
        return;
    }
    Modified = true;
    left.Modified = true;
    if (!right.LoadFromFile(located(c.RightDefs), false)) {
        CopyMesh(left, right);
        c.LeftDefs = c.RightDefs;
        return;
    }
    c.LeftDefs.Set(ToNativePath(Owner->New_MeshName()));
    c.RightDefs.Set(ToNativePath(Owner->New_MeshName()));
    right.Modified = true;
}

void TMeshEditForm::PlaceWindows(QMdiSubWindow* sub, QMdiSubWindow* resultSub)
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
    UpdateMinimumSize();
}

void TMeshEditForm::InitProject(bool fromFile)
{
    const MeshViewSettings& view = Rec.Mesh.View;
    Panes->ApplyLayout(view, !fromFile);
    Owner->SetFrameRange(Rec.Mesh.Morph.TotalFrames, Rec.Mesh.Morph.CurrentFrame);
    Result->ApplyViewSettings(view);
    Panes->ApplyDrawing(view);
    Panes->FitLeftPane();
    UpdateMinimumSize();
}

void TMeshEditForm::CreateMenus()
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
    File1->setObjectName(QStringLiteral("MeshFile1"));
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

QList<MergedMenu> TMeshEditForm::MergedMenus() { return {{0, File1}, {6, Run1}, {kSettingsMenuGroup, Settings1}}; }

TMeshImag* TMeshEditForm::View(bool left) const { return Panes->View(left); }

TMeshDefsData& TMeshEditForm::MeshData(bool left) const { return *View(left)->Mesh.Data; }

void TMeshEditForm::showEvent(QShowEvent* event)
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

void TMeshEditForm::resizeEvent(QResizeEvent* event)
{
    TProjectForm::resizeEvent(event);
    if (Ready && !Destroying && event->oldSize().isValid() && event->oldSize() != event->size())
        Modified = true;
}

void TMeshEditForm::UpdateMinimumSize()
{
    const QSize least(Panes->Pane(true)->width() + kMinimumExtraWidth, kMinimumHeight);
    Frame()->setMinimumSize(least);
}

void TMeshEditForm::ActivateProject() { Owner->ActivateProject(this); }

void TMeshEditForm::DeActivateProject() { Owner->DeActivateProject(); }

QSize TMeshEditForm::PictureSize(bool left) const
{
    const RasterImage& p = View(left)->GetPicture();
    return Panes->HasPicture(left) && p.Allocated ? QSize(p.Width(), p.Height()) : QSize(0, 0);
}

QSize TMeshEditForm::ViewOuterSize(bool left) const { return View(left)->size(); }

void TMeshEditForm::ShowFlagsChanged() { Panes->ApplyDrawing(Rec.Mesh.View); }

void TMeshEditForm::EnviromentApplied()
{
    Panes->ApplyLayout(Rec.Mesh.View, true);
    Panes->ApplyDrawing(Rec.Mesh.View);
    for (bool left : {true, false})
        View(left)->Refresh();
    Panes->FitLeftPane();
    UpdateMinimumSize();
}

void TMeshEditForm::RepaintViews()
{
    View(true)->update();
    View(false)->update();
}

// Saving and the close query.

void TMeshEditForm::RefreshRecordFromWindow(ProjectRecord& record) const
{
    ProjectCommon& c = record.Common();
    const QWidget* frame = Frame();
    c.WindowTop = frame->y();
    c.WindowLeft = frame->x();
    c.ClientWidth = width();
    c.ClientHeight = height();
    c.DividerPos = Panes->DividerPos();
    Panes->StoreRegion(true, c.LeftRegion);
    Panes->StoreRegion(false, c.RightRegion);
    const QWidget* resultFrame = FrameOf(Result);
    c.ResultTop = resultFrame->y();
    c.ResultLeft = resultFrame->x();
    record.Mesh.View.ResultWidth = Result->width();
    record.Mesh.View.ResultHeight = Result->height();
}

bool TMeshEditForm::SaveProj(const QString& fileName)
{
    // The record changes only with a file that holds it.
    ProjectRecord refreshed = Rec;
    RefreshRecordFromWindow(refreshed);
    if (::SaveProj(ToNativePath(fileName), refreshed))
        return true;
    Rec = refreshed;
    Modified = false;
    View(true)->ClearModified();
    View(false)->ClearModified();
    return false;
}

QString TMeshEditForm::MeshName(bool left) const
{
    return FromNativePath(MeshNameField(Rec, left).Get());
}

std::string TMeshEditForm::MeshPath(bool left) const
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

bool TMeshEditForm::WriteMesh(bool left) { return MeshData(left).SaveToFile(MeshPath(left)); }

bool TMeshEditForm::SaveMeshAs(bool left)
{
    const QString title = ApplicationTitle() + SideSuffix("save", "mesh", left);
    const QString chosen =
        RunSaveFileDialog(this, title, DialogStart(MeshName(left)), QString::fromLatin1(kMeshFilter));
    if (chosen.isEmpty() || MeshData(left).SaveToFile(ToNativePath(chosen)))
        return true;
    MeshNameField(Rec, left).Set(ToNativePath(chosen));
    Modified = true;
    return false;
}

void TMeshEditForm::SaveProject1Click()
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
        if (!MeshData(left).IsNew) {
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

bool TMeshEditForm::ChangedSinceSaved() const
{
    if (!FromFile)
        return true;
    const ProjectCommon& c = Rec.Common();
    const QWidget* frame = Frame();
    const QWidget* resultFrame = FrameOf(Result);
    return Modified || View(true)->IsModified() || View(false)->IsModified() || frame->y() != c.WindowTop ||
           frame->x() != c.WindowLeft || resultFrame->y() != c.ResultTop || resultFrame->x() != c.ResultLeft;
}

bool TMeshEditForm::QueryMesh(bool left, bool& renamed)
{
    TMeshDefsData& mesh = MeshData(left);
    if (!mesh.IsNew && !mesh.Modified)
        return true;
    const QMessageBox::StandardButton answer = AskSaveChanges(MeshName(left));
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::No)
        return true;
    // A mesh that could not be written keeps the window open.
    if (!mesh.IsNew)
        return !WriteMesh(left);
    if (SaveMeshAs(left))
        return false;
    renamed = true;
    return true;
}

void TMeshEditForm::closeEvent(QCloseEvent* event)
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
    // The window goes: the project file just written must name the meshes'
    // new files, or they would be lost to it.
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

// Pictures and meshes.

int TMeshEditForm::AskSide(bool mesh)
{
    TTwoChoiceForm* form = mesh ? static_cast<TTwoChoiceForm*>(Owner->MeshSeleForm())
                                : static_cast<TTwoChoiceForm*>(Owner->ImagSeleForm());
    return form->Ask();
}

void TMeshEditForm::LoadPicture1Click()
{
    const int side = AskSide(false);
    if (side >= 0)
        LoadImag(side == 0);
}

void TMeshEditForm::LoadImag(bool left)
{
    const QString chosen = RunOpenFileDialog(this, ApplicationTitle() + SideSuffix("load", "image", left),
                                             DialogStart(), QString::fromLatin1(kOpenPictureFilter));
    if (chosen.isEmpty())
        return;
    const std::string name = ToNativePath(chosen);
    if (!IsPictureFileType(LowerExtension(name))) {
        ShowErrorBox(9, UnreadablePictureMessage(name));
        return;
    }
    RasterImage picture;
    LoadPicture(name, picture);
    if (!picture.Allocated)
        return;
    (left ? Rec.Common().LeftPicture : Rec.Common().RightPicture).Set(name);
    Panes->ShowPicture(left, std::move(picture));
    UpdateMinimumSize();
    Modified = true;
}

void TMeshEditForm::LoadMesh1Click()
{
    const int side = AskSide(true);
    if (side < 0)
        return;
    const bool left = side == 0;
    const QString chosen = RunOpenFileDialog(this, ApplicationTitle() + SideSuffix("load", "mesh", left),
                                             DialogStart(), QString::fromLatin1(kMeshFilter));
    if (chosen.isEmpty() || LowerExtension(ToNativePath(chosen)) != ".msh")
        return;
    if (MeshData(left).LoadFromFile(ToNativePath(chosen), true))
        return;
    MeshNameField(Rec, left).Set(ToNativePath(chosen));
    View(left)->update();
    Modified = true;
}

void TMeshEditForm::SaveMesh1Click()
{
    const int side = AskSide(true);
    if (side < 0)
        return;
    const bool left = side == 0;
    if (!MeshData(left).IsNew) {
        WriteMesh(left);
        return;
    }
    if (AskSaveChanges(MeshName(left)) == QMessageBox::Yes)
        SaveMeshAs(left);
}

void TMeshEditForm::SaveMeshAs1Click()
{
    const int side = AskSide(true);
    if (side >= 0)
        SaveMeshAs(side == 0);
}

void TMeshEditForm::SaveResultPicture1Click()
{
    const QString chosen = RunSaveFileDialog(this, ApplicationTitle() + QStringLiteral(" - save result picture"),
                                             DialogStart(), QString::fromLatin1(kSavePictureFilter));
    if (!chosen.isEmpty())
        SavePicture(ToNativePath(chosen), Result->ResuImag()->GetPicture());
}

// Frames.

bool TMeshEditForm::PicturesReady() const
{
    if (Panes->HasPicture(true) && Panes->HasPicture(false))
        return true;
    ShowErrorBox(14, "Load the start and end pictures first.");
    return false;
}

void TMeshEditForm::Preview(int frame, uint8_t warpSide, uint8_t doMorph)
{
    if (!PicturesReady())
        return;
    MeshMorphSettings copy = Rec.Mesh.Morph;
    copy.WarpSide = warpSide;
    copy.DoMorph = doMorph;
    RasterImage picture;
    if (MeshFrame(View(true)->GetPicture(), MeshData(true), View(false)->GetPicture(), MeshData(false), copy, frame,
                  picture))
        return;
    TResuImag* view = Result->ResuImag();
    view->SetPicture(std::move(picture));
    view->RefreshView();
}

void TMeshEditForm::GenerateAnimation()
{
    Owner->ShowStatusMessage(QString());
    if (!PicturesReady())
        return;
    const MeshMorphSettings& s = Rec.Mesh.Morph;
    if (MeshAnimation(View(true)->GetPicture(), MeshData(true), View(false)->GetPicture(), MeshData(false), s,
                      *Result->ResuImag()))
        return;
    const size_t frames =
        AnimationFrames(s.DoAnimation != 0, s.WarpSide != 0, s.FirstFrame, s.LastFrame, s.CurrentFrame).size();
    const QString where =
        s.OutputType == static_cast<uint8_t>(OutputKind::Avi)
            ? QStringLiteral("the movie ") +
                  FromNativePath(MovieFileName(OutputFileBase(s.OutputPath.Get(), s.OutputPrefix.Get())))
            : WithSeparator(FromNativePath(s.OutputPath.Get()));
    Owner->ShowStatusMessage(
        QStringLiteral("%1 %2 written to %3").arg(frames).arg(frames == 1 ? "frame" : "frames", where));
}

void TMeshEditForm::Morphing1Click()
{
    const bool accepted = RunMorphSettings(*this);
    FrameOf(Result)->raise();
    if (accepted)
        GenerateAnimation();
}

void TMeshEditForm::ShowInfo()
{
    TMeshInfoForm* form = Owner->MeshInfoForm();
    const ProjectCommon& c = Rec.Common();
    auto side = [&](bool left) {
        MeshInfoSide s;
        s.MeshFile = MeshName(left);
        s.PictureFile = FromNativePath((left ? c.LeftPicture : c.RightPicture).Get());
        s.Cols = MeshData(left).Cols;
        s.Rows = MeshData(left).Rows;
        return s;
    };
    form->Fill(Name, side(true), side(false));
    RunShowBox(*form);
}
