#include "app/mesh_edit_form.h"

#include <QFileInfo>
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
    auto* panes = new TMeshPanes(this);
    InstallPanes(panes);
    connect(panes, &TMeshPanes::MeshEdited, this, &TMeshEditForm::MarkModified);
    if (fromFile)
        LoadDefinitions();
    CreateMenus();
    SetResultForm(new TMeshResuForm(this));
}

TMeshEditForm::~TMeshEditForm()
{
    DestroyResult();
    delete MeshPanes()->View(false);
    delete MeshPanes()->View(true);
    delete Panes;
}

TMeshPanes* TMeshEditForm::MeshPanes() const { return static_cast<TMeshPanes*>(Panes); }

TMeshImag* TMeshEditForm::View(bool left) const { return MeshPanes()->View(left); }

TMeshResuForm* TMeshEditForm::ResultForm() const { return static_cast<TMeshResuForm*>(Result); }

TMeshDefsData& TMeshEditForm::MeshData(bool left) const { return *View(left)->Mesh.Data; }

// The hooks of the pair window.

void TMeshEditForm::ApplyDrawing() { MeshPanes()->ApplyDrawing(Rec.Mesh.View); }

bool TMeshEditForm::DefsIsNew(bool left) const { return MeshData(left).IsNew; }

bool TMeshEditForm::DefsModified(bool left) const { return MeshData(left).Modified; }

bool TMeshEditForm::SaveDefs(bool left, const std::string& fileName) { return MeshData(left).SaveToFile(fileName); }

bool TMeshEditForm::LoadDefs(bool left, const std::string& fileName, bool checkSize)
{
    if (MeshData(left).LoadFromFile(fileName, checkSize))
        return true;
    View(left)->update();
    return false;
}

void TMeshEditForm::CopyDefs(bool toLeft)
{
    TMeshDefsData& target = MeshData(toLeft);
    target = MeshData(!toLeft);
    target.IsNew = true;
    target.Modified = true;
}

void TMeshEditForm::SetDefsModified(bool left) { MeshData(left).Modified = true; }

bool TMeshEditForm::ViewsModified() const { return View(true)->IsModified() || View(false)->IsModified(); }

void TMeshEditForm::ClearViewsModified()
{
    View(true)->ClearModified();
    View(false)->ClearModified();
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
    ShowFrame(std::move(picture));
}

void TMeshEditForm::GenerateAnimation()
{
    Owner->ShowStatusMessage(QString());
    if (!PicturesReady())
        return;
    const MeshMorphSettings& s = Rec.Mesh.Morph;
    if (MeshAnimation(Picture(true), MeshData(true), Picture(false), MeshData(false), s, *Result->ResuImag()))
        return;
    ReportAnimation(s);
}

TMeshInfoForm* TMeshEditForm::InfoForm() const { return Owner->MeshInfoForm(); }

void TMeshEditForm::FillInfoSize(bool left, MeshInfoSide& s) const
{
    s.Cols = MeshData(left).Cols;
    s.Rows = MeshData(left).Rows;
}
