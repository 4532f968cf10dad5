#include "app/basic_project_form.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QVBoxLayout>
#include <utility>

#include "app/dialog_hooks.h"
#include "app/main_morf_form.h"
#include "app/mesh_panes.h"
#include "app/picture_filters.h"
#include "app/program_folder.h"
#include "app/project_fields.h"
#include "app/resu_form.h"
#include "app/settings_commands.h"
#include "images/error_box.h"
#include "images/picture_file.h"
#include "mesh/mesh_frame.h"
#include "node/node_frame.h"
#include "project/project_file.h"
#include "project/project_material.h"
#include "views/mesh_imag.h"

TBasicProjectForm::TBasicProjectForm(TMainMorfForm* owner, ProjectKind kind, const QString& fileName,
                                     const ProjectRecord* record, QWidget* parent)
    : TEditAnceForm(kind == ProjectKind::Mesh ? kMeshProjectWindow : kNodeProjectWindow, parent)
{
    setObjectName(kind == ProjectKind::Mesh ? QStringLiteral("MeshEditForm") : QStringLiteral("NodeEditForm"));
    if (record) {
        Rec = *record;
        Rec.Kind = kind;
        Name = fileName;
        FromFile = true;
    } else {
        Name = owner->New_ProjName();
        const QString left = owner->New_MeshName();
        const QString right = owner->New_MeshName();
        SetNewProjectDefaults(Rec, kind, ToNativePath(ProgramFolder()), ToNativePath(left), ToNativePath(right));
    }
    setWindowTitle(QFileInfo(Name).fileName());
    SettingsMenu = CreateSettingsMenu(*this);
    if (kind == ProjectKind::Mesh) {
        CreateMeshPanes(owner);
        return;
    }
    Summary = new QLabel(this);
    Summary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Summary);
    UpdateSummary();
    resize(420, 160);
}

QList<MergedMenu> TBasicProjectForm::MergedMenus() { return {{kSettingsMenuGroup, SettingsMenu}}; }

void TBasicProjectForm::CreateMeshPanes(TMainMorfForm* owner)
{
    Panes = new TMeshPanes(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Panes);
    const ProjectCommon& c = Rec.Common();
    const MeshViewSettings& view = Rec.Mesh.View;
    for (bool left : {true, false}) {
        TMeshImag* v = Panes->View(left);
        v->SetToolSource([this] { return CurrentTool(); });
        if (!FromFile)
            continue;
        const std::string file = LocateProjectFile((left ? c.LeftPicture : c.RightPicture).Get(), ToNativePath(Name));
        RasterImage picture;
        if (!file.empty())
            LoadPicture(file, picture);
        if (picture.Allocated)
            Panes->ShowPicture(left, std::move(picture), left ? c.LeftRegion : c.RightRegion);
    }
    if (FromFile)
        LoadMeshFiles();
    Panes->ApplyLayout(view, true);
    Panes->ApplyDrawing(view);
    connect(Panes, &TMeshPanes::MeshEdited, this, &TBasicProjectForm::MarkModified);
    if (owner)
        connect(Panes, &TMeshPanes::StatusText, owner, &TMainMorfForm::SetStatusText);
    const int frame = TMeshPanes::kPaneFrame;
    const QSize leftSize = Panes->View(true)->size(), rightSize = Panes->View(false)->size();
    if (FromFile && c.ClientWidth > 0 && c.ClientHeight > 0)
        ClientSize = QSize(std::min(c.ClientWidth, 4000), std::min(c.ClientHeight, 4000));
    else
        ClientSize = QSize(leftSize.width() + rightSize.width() + TMeshPanes::kDividerWidth + 2 * frame,
                           leftSize.height() + frame);
    resize(ClientSize);
    Panes->resize(size());
    Panes->FitLeftPane();
}

void TBasicProjectForm::showEvent(QShowEvent* event)
{
    TEditAnceForm::showEvent(event);
    if (!Panes || ClientSize.isEmpty())
        return;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->resize(ClientSize + (sub->size() - size()));
    else
        resize(ClientSize);
    ClientSize = QSize();
    Panes->FitLeftPane();
}

void TBasicProjectForm::LoadMeshFiles()
{
    // Both meshes or neither: a pair of different sizes cannot be warped.
    const ProjectCommon& c = Rec.Common();
    ProjectFiles files;
    files.LeftDefs = LocateProjectFile(c.LeftDefs.Get(), ToNativePath(Name));
    files.RightDefs = LocateProjectFile(c.RightDefs.Get(), ToNativePath(Name));
    if (files.LeftDefs.empty() || files.RightDefs.empty())
        return;
    TMeshDefsData left(2, 2), right(2, 2);
    if (!LoadProjectMeshes(files, left, right))
        return;
    *Panes->View(true)->Mesh.Data = std::move(left);
    *Panes->View(false)->Mesh.Data = std::move(right);
}

void TBasicProjectForm::ShowFlagsChanged()
{
    if (Panes)
        Panes->ApplyDrawing(Rec.Mesh.View);
    UpdateSummary();
}

QSize TBasicProjectForm::PictureSize(bool left) const
{
    if (Panes)
        return Panes->HasPicture(left) ? SizeOf(Panes->View(left)->GetPicture()) : QSize(0, 0);
    return SizeOf(left ? LeftPicture : RightPicture);
}

QSize TBasicProjectForm::ViewOuterSize(bool left) const
{
    return Panes ? Panes->View(left)->size() : QSize();
}

void TBasicProjectForm::EnviromentApplied()
{
    if (Panes) {
        Panes->ApplyLayout(Rec.Mesh.View, true);
        Panes->ApplyDrawing(Rec.Mesh.View);
        for (bool left : {true, false})
            Panes->View(left)->Refresh();
        Panes->FitLeftPane();
    }
    UpdateSummary();
}

void TBasicProjectForm::RepaintViews()
{
    if (Panes) {
        Panes->View(true)->update();
        Panes->View(false)->update();
    }
}

namespace {
const QWidget* FrameOf(const QWidget* w)
{
    return qobject_cast<QMdiSubWindow*>(w->parentWidget()) ? w->parentWidget() : w;
}
}  // namespace

QWidget* TBasicProjectForm::Frame() const
{
    // Inside the MDI area the placement is that of the sub-window frame.
    return qobject_cast<QMdiSubWindow*>(parentWidget()) ? parentWidget() : const_cast<TBasicProjectForm*>(this);
}

void TBasicProjectForm::RefreshRecordFromWindow()
{
    ProjectCommon& c = Rec.Common();
    c.WindowTop = Frame()->y();
    c.WindowLeft = Frame()->x();
    c.ClientWidth = width();
    c.ClientHeight = height();
    if (Panes) {
        c.DividerPos = Panes->DividerPos();
        Panes->StoreRegion(true, c.LeftRegion);
        Panes->StoreRegion(false, c.RightRegion);
    }
    if (QWidget* result = ResultWindow()) {
        const QWidget* frame = FrameOf(result);
        c.ResultTop = frame->y();
        c.ResultLeft = frame->x();
        if (Rec.Kind == ProjectKind::Mesh) {
            Rec.Mesh.View.ResultWidth = result->width();
            Rec.Mesh.View.ResultHeight = result->height();
        } else {
            Rec.Node.View.ResultWidth = result->width();
            Rec.Node.View.ResultHeight = result->height();
        }
    }
}

QRect TBasicProjectForm::ResultPlacement() const
{
    const QWidget* result = ResultWindow();
    if (!result)
        return {};
    return QRect(FrameOf(result)->pos(), result->size());
}

void TBasicProjectForm::RememberPlacement()
{
    SavedResult = ResultPlacement();
}

bool TBasicProjectForm::PlacementChanged() const
{
    const ProjectCommon& c = Rec.Common();
    return c.WindowTop != Frame()->y() || c.WindowLeft != Frame()->x() || SavedResult != ResultPlacement();
}

void TBasicProjectForm::UpdateSummary()
{
    if (Summary)
        Summary->setText(SummaryText());
}

QString TBasicProjectForm::SummaryText()
{
    const ProjectCommon& c = Rec.Common();
    const bool mesh = Rec.Kind == ProjectKind::Mesh;
    QString text = mesh ? tr("Mesh project") : tr("Node project");
    text += QStringLiteral("\n") + tr("Start picture: ") + FromNativePath(c.LeftPicture.Get());
    text += QStringLiteral("\n") + tr("End picture: ") + FromNativePath(c.RightPicture.Get());
    text += QStringLiteral("\n") + (mesh ? tr("Meshes: ") : tr("Nodes: ")) + FromNativePath(c.LeftDefs.Get()) +
            QStringLiteral(", ") + FromNativePath(c.RightDefs.Get());
    text += QStringLiteral("\n") + tr("Frames: %1 (current %2)").arg(TotalFramesOf(Rec)).arg(CurrentFrameOf(Rec));
    return text;
}

bool TBasicProjectForm::SaveProj(const QString& fileName)
{
    RefreshRecordFromWindow();
    if (::SaveProj(ToNativePath(fileName), Rec))
        return true;
    Modified = false;
    if (Panes) {
        Panes->View(true)->ClearModified();
        Panes->View(false)->ClearModified();
    }
    RememberPlacement();
    return false;
}

bool TBasicProjectForm::SaveProjectAs()
{
    const QString start = FromFile ? Name : WithSeparator(ProgramFolder()) + QStringLiteral("Data/") + Name;
    const QString chosen = RunSaveFileDialog(this, ApplicationTitle() + QStringLiteral(" - save project as ..."),
                                             start, QString::fromLatin1(kProjectFilter));
    if (chosen.isEmpty() || SaveProj(chosen))
        return true;
    Name = chosen;
    FromFile = true;
    setWindowTitle(QFileInfo(Name).fileName());
    return false;
}

void TBasicProjectForm::SaveProject1Click()
{
    if (FromFile) {
        SaveProj(Name);
        return;
    }
    const QMessageBox::StandardButton answer =
        RunYesNoCancel(this, ApplicationTitle(), QStringLiteral("Save changes to %1?").arg(Name));
    if (answer == QMessageBox::Yes)
        SaveProjectAs();
}

void TBasicProjectForm::ShowInfo()
{
    UpdateSummary();
    QMessageBox::information(this, tr("Project Info"), Name + QStringLiteral("\n\n") + SummaryText());
}

void TBasicProjectForm::closeEvent(QCloseEvent* event)
{
    const bool changed = !FromFile || Modified || PlacementChanged();
    if (changed) {
        const QMessageBox::StandardButton answer =
            RunYesNoCancel(this, ApplicationTitle(), QStringLiteral("Save changes to %1?").arg(Name));
        if (answer == QMessageBox::Cancel) {
            event->ignore();
            return;
        }
        // A save that fails or is cancelled keeps the window, so that the
        // changes are not lost behind the user's back.
        if (answer == QMessageBox::Yes && (FromFile ? SaveProj(Name) : SaveProjectAs())) {
            event->ignore();
            return;
        }
    }
    ClosingAccepted = true;
    event->accept();
}

ResultView* TBasicProjectForm::ResultViewOf() const
{
    auto* result = qobject_cast<TResuForm*>(ResultWindow());
    return result ? result->ResuImag() : nullptr;
}

void TBasicProjectForm::LoadImag(bool left)
{
    const QString title = ApplicationTitle() + (left ? QStringLiteral(" - load left image")
                                                     : QStringLiteral(" - load right image"));
    const QString chosen = RunOpenFileDialog(this, title, WithSeparator(ProgramFolder()) + QStringLiteral("Data/"),
                                             QString::fromLatin1(kOpenPictureFilter));
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
    if (Panes)
        Panes->ShowPicture(left, std::move(picture));
    else
        (left ? LeftPicture : RightPicture) = std::move(picture);
    MarkModified();
}

bool TBasicProjectForm::LoadMaterial()
{
    const ProjectCommon& c = Rec.Common();
    const std::string projectFile = FromFile ? ToNativePath(Name) : std::string();
    const bool leftThere = Panes ? Panes->HasPicture(true) : LeftPicture.Allocated;
    const bool rightThere = Panes ? Panes->HasPicture(false) : RightPicture.Allocated;
    if (!leftThere || !rightThere) {
        ProjectFiles files;
        bool found = true;
        for (auto [stored, where] : {std::pair{&c.LeftPicture, &files.LeftPicture},
                                     std::pair{&c.RightPicture, &files.RightPicture}}) {
            *where = LocateProjectFile(stored->Get(), projectFile);
            if (where->empty()) {
                ShowErrorBox(14, stored->Get().empty() ? std::string("Load the start and end pictures first.")
                                                       : "File was not found: " + stored->Get());
                found = false;
                break;
            }
        }
        RasterImage left, right;
        if (!found || !LoadProjectPictures(files, left, right))
            return false;
        if (Panes) {
            if (!leftThere)
                Panes->ShowPicture(true, std::move(left));
            if (!rightThere)
                Panes->ShowPicture(false, std::move(right));
        } else {
            LeftPicture = std::move(left);
            RightPicture = std::move(right);
        }
    }
    if (Panes)
        return true;  // the views hold the meshes being edited
    // Node files not written yet leave no nodes: the pictures then simply
    // cross-dissolve. Existing ones are read afresh, they may have been
    // edited elsewhere.
    ProjectFiles files;
    files.LeftDefs = LocateProjectFile(c.LeftDefs.Get(), projectFile);
    files.RightDefs = LocateProjectFile(c.RightDefs.Get(), projectFile);
    if (files.LeftDefs.empty() || files.RightDefs.empty()) {
        LeftNodes = TNodeDefsData();
        RightNodes = TNodeDefsData();
        return true;
    }
    return LoadProjectNodes(files, LeftNodes, RightNodes);
}

void TBasicProjectForm::Preview(int frame, uint8_t warpSide, uint8_t doMorph)
{
    ResultView* view = ResultViewOf();
    if (!view || !LoadMaterial())
        return;
    RasterImage picture;
    bool failed;
    if (Rec.Kind == ProjectKind::Mesh) {
        MeshMorphSettings s = Rec.Mesh.Morph;
        s.WarpSide = warpSide;
        s.DoMorph = doMorph;
        const TMeshImag* left = Panes->View(true);
        const TMeshImag* right = Panes->View(false);
        failed = MeshFrame(left->GetPicture(), *left->Mesh.Data, right->GetPicture(), *right->Mesh.Data, s, frame,
                           picture);
    } else {
        NodeMorphSettings s = Rec.Node.Morph;
        s.WarpSide = warpSide;
        s.DoMorph = doMorph;
        ApplyNodeWarpParameters(s);
        failed = NodeFrame(LeftPicture, LeftNodes, RightPicture, RightNodes, s, frame, picture);
    }
    // A failed node warp still leaves a defined frame worth seeing.
    if (picture.Allocated && (!failed || Rec.Kind == ProjectKind::Node)) {
        view->SetPicture(std::move(picture));
        view->RefreshView();
    }
}

void TBasicProjectForm::GenerateAnimation()
{
    ResultView* view = ResultViewOf();
    if (!view || !LoadMaterial())
        return;
    if (Rec.Kind == ProjectKind::Mesh) {
        const TMeshImag* left = Panes->View(true);
        const TMeshImag* right = Panes->View(false);
        MeshAnimation(left->GetPicture(), *left->Mesh.Data, right->GetPicture(), *right->Mesh.Data, Rec.Mesh.Morph,
                      *view);
    } else {
        ApplyNodeWarpParameters(Rec.Node.Morph);
        NodeAnimation(LeftPicture, LeftNodes, RightPicture, RightNodes, Rec.Node.Morph, *view);
    }
}
