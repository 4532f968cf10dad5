#include "app/mesh_edit_form.h"

#include <QFileInfo>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "app/dialog_hooks.h"
#include "app/main_morf_form.h"
#include "app/mesh_info_form.h"
#include "app/mesh_panes.h"
#include "app/mesh_resu_form.h"
#include "app/program_folder.h"
#include "images/picture_file.h"
#include "mesh/mesh_frame.h"
#include "project/project_material.h"
#include "views/mesh_imag.h"

namespace {

// A stored client size is untrusted: the window stays of a sensible size.
constexpr int kLargestClient = 4000;

// A mesh made from another one's nodes: never saved, and changed.
void CopyMesh(TMeshDefsData& target, const TMeshDefsData& source)
{
    target = source;
    target.IsNew = true;
    target.Modified = true;
}

}  // namespace

TMeshEditForm* TMeshEditForm::CreateProject(TMainMorfForm* owner, const QString& fileName,
                                            const ProjectRecord& record, bool fromFile)
{
    auto* form = new TMeshEditForm(owner, fileName, record, fromFile);
    Show(form);
    return form;
}

TMeshEditForm::TMeshEditForm(TMainMorfForm* owner, const QString& fileName, const ProjectRecord& record,
                             bool fromFile)
    : TPairEditForm(kMeshProjectWindow, owner, ProjectKind::Mesh, fileName, record, fromFile)
{
    setObjectName(QStringLiteral("MeshEditForm"));
    CreateViews();
    if (fromFile)
        LoadMeshes();
    CreateMenus();
    SetResultForm(new TMeshResuForm(this));
}

TMeshEditForm::~TMeshEditForm()
{
    DestroyResult();
    delete Panes->View(false);
    delete Panes->View(true);
    delete Panes;
}

TMeshImag* TMeshEditForm::View(bool left) const { return Panes->View(left); }

TMeshResuForm* TMeshEditForm::ResultForm() const { return static_cast<TMeshResuForm*>(Result); }

TMeshDefsData& TMeshEditForm::MeshData(bool left) const { return *View(left)->Mesh.Data; }

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
        ClientSize = QSize(std::clamp(c.ClientWidth, 1, kLargestClient), std::clamp(c.ClientHeight, 1, kLargestClient));
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

void TMeshEditForm::InitViews(bool fromFile)
{
    const MeshViewSettings& view = Rec.Mesh.View;
    Panes->ApplyLayout(view, !fromFile);
    ResultForm()->ApplyViewSettings(view);
    Panes->ApplyDrawing(view);
    Panes->FitLeftPane();
}

// The hooks of the pair window.

bool TMeshEditForm::HasPicture(bool left) const { return Panes->HasPicture(left); }

const RasterImage& TMeshEditForm::Picture(bool left) const { return View(left)->GetPicture(); }

void TMeshEditForm::ShowPicture(bool left, RasterImage&& picture) { Panes->ShowPicture(left, std::move(picture)); }

bool TMeshEditForm::DefsIsNew(bool left) const { return MeshData(left).IsNew; }

bool TMeshEditForm::DefsModified(bool left) const { return MeshData(left).Modified; }

bool TMeshEditForm::SaveDefs(bool left, const std::string& fileName) { return MeshData(left).SaveToFile(fileName); }

bool TMeshEditForm::LoadDefs(bool left, const std::string& fileName)
{
    if (MeshData(left).LoadFromFile(fileName, true))
        return true;
    View(left)->update();
    return false;
}

bool TMeshEditForm::ViewsModified() const { return View(true)->IsModified() || View(false)->IsModified(); }

void TMeshEditForm::ClearViewsModified()
{
    View(true)->ClearModified();
    View(false)->ClearModified();
}

int TMeshEditForm::LeftPaneWidth() const { return Panes->Pane(true)->width(); }

void TMeshEditForm::FitPanes() { Panes->FitLeftPane(); }

void TMeshEditForm::StoreViews(ProjectRecord& record) const
{
    ProjectCommon& c = record.Common();
    c.DividerPos = Panes->DividerPos();
    Panes->StoreRegion(true, c.LeftRegion);
    Panes->StoreRegion(false, c.RightRegion);
    record.Mesh.View.ResultWidth = Result->width();
    record.Mesh.View.ResultHeight = Result->height();
}

// What the settings dialogs and the main window's buttons ask of the views.

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

// Frames.

void TMeshEditForm::Preview(int frame, uint8_t warpSide, uint8_t doMorph)
{
    if (!PicturesReady())
        return;
    MeshMorphSettings copy = Rec.Mesh.Morph;
    copy.WarpSide = warpSide;
    copy.DoMorph = doMorph;
    RasterImage picture;
    if (MeshFrame(Picture(true), MeshData(true), Picture(false), MeshData(false), copy, frame, picture))
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
    if (MeshAnimation(Picture(true), MeshData(true), Picture(false), MeshData(false), s, *Result->ResuImag()))
        return;
    ReportAnimation(
        AnimationFrames(s.DoAnimation != 0, s.WarpSide != 0, s.FirstFrame, s.LastFrame, s.CurrentFrame).size(),
        s.OutputType, s.OutputPath.Get(), s.OutputPrefix.Get());
}

void TMeshEditForm::ShowInfo()
{
    TMeshInfoForm* form = Owner->MeshInfoForm();
    const ProjectCommon& c = Rec.Common();
    auto side = [&](bool left) {
        MeshInfoSide s;
        s.MeshFile = FromNativePath((left ? c.LeftDefs : c.RightDefs).Get());
        s.PictureFile = FromNativePath((left ? c.LeftPicture : c.RightPicture).Get());
        s.Cols = MeshData(left).Cols;
        s.Rows = MeshData(left).Rows;
        return s;
    };
    form->Fill(Name, side(true), side(false));
    RunShowBox(*form);
}
