#include "app/node_edit_form.h"

#include <utility>

#include "app/main_morf_form.h"
#include "app/mesh_info_form.h"
#include "app/node_panes.h"
#include "app/resu_form.h"
#include "node/node_frame.h"
#include "views/node_imag.h"

TNodeEditForm* TNodeEditForm::CreateProject(TMainMorfForm* owner, const QString& fileName,
                                            const ProjectRecord& record, bool fromFile)
{
    auto* form = new TNodeEditForm(owner, fileName, record, fromFile);
    Show(form);
    return form;
}

TNodeEditForm::TNodeEditForm(TMainMorfForm* owner, const QString& fileName, const ProjectRecord& record,
                             bool fromFile)
    : TPairEditForm(kNodeProjectWindow, owner, ProjectKind::Node, fileName, record, fromFile)
{
    setObjectName(QStringLiteral("NodeEditForm"));
    auto* panes = new TNodePanes(this);
    InstallPanes(panes);
    connect(panes, &TNodePanes::NodesEdited, this, &TNodeEditForm::MarkModified);
    panes->SetRadiusMode(Rec.Node.Morph.WarpMethod);
    if (fromFile) {
        LoadDefinitions();
        // The fixed radius is this project's, not the one of the node project
        // active before; activation puts the same values in force next.
        ApplyNodeWarpParameters(Rec.Node.Morph);
        panes->RecomputeRadii();
    }
    CreateMenus();
    SetResultForm(new TNodeResuForm(this));
}

TNodeEditForm::~TNodeEditForm()
{
    DestroyResult();
    delete NodePanes()->View(false);
    delete NodePanes()->View(true);
    delete Panes;
}

TNodePanes* TNodeEditForm::NodePanes() const { return static_cast<TNodePanes*>(Panes); }

TNodeImag* TNodeEditForm::View(bool left) const { return NodePanes()->View(left); }

TNodeResuForm* TNodeEditForm::ResultForm() const { return static_cast<TNodeResuForm*>(Result); }

TNodeDefsData& TNodeEditForm::NodeData(bool left) const { return View(left)->Nodes.Data; }

// The hooks of the pair window.

void TNodeEditForm::ApplyDrawing() { NodePanes()->ApplyDrawing(Rec.Node.View); }

bool TNodeEditForm::DefsIsNew(bool left) const { return NodeData(left).IsNew; }

bool TNodeEditForm::DefsModified(bool left) const { return NodeData(left).Modified; }

bool TNodeEditForm::SaveDefs(bool left, const std::string& fileName) { return NodeData(left).SaveToFile(fileName); }

bool TNodeEditForm::LoadDefs(bool left, const std::string& fileName, bool checkSize)
{
    if (NodeData(left).LoadFromFile(fileName, checkSize))
        return true;
    View(left)->Nodes.Selected = -1;
    View(left)->ComputeRadii();
    View(left)->update();
    return false;
}

void TNodeEditForm::CopyDefs(bool toLeft)
{
    TNodeDefsData& target = NodeData(toLeft);
    target = NodeData(!toLeft);
    target.IsNew = true;
    target.Modified = true;
    View(toLeft)->Nodes.Selected = -1;
}

void TNodeEditForm::SetDefsModified(bool left) { NodeData(left).Modified = true; }

bool TNodeEditForm::ViewsModified() const { return View(true)->IsModified() || View(false)->IsModified(); }

void TNodeEditForm::ClearViewsModified()
{
    View(true)->ClearModified();
    View(false)->ClearModified();
}

void TNodeEditForm::SetViewsRadiusMode(uint8_t mode) { NodePanes()->SetRadiusMode(mode); }

void TNodeEditForm::RecomputeRadii() { NodePanes()->RecomputeRadii(); }

// Frames.

void TNodeEditForm::Preview(int frame, uint8_t warpSide, uint8_t doMorph)
{
    if (!PicturesReady())
        return;
    NodeMorphSettings copy = Rec.Node.Morph;
    static_assert(sizeof(copy) == 560);
    copy.WarpSide = warpSide;
    copy.DoMorph = doMorph;
    RasterImage picture;
    NodeFrame(Picture(true), NodeData(true), Picture(false), NodeData(false), copy, frame, picture);
    // A failed node warp still leaves a defined frame worth seeing.
    if (!picture.Allocated)
        return;
    ShowFrame(std::move(picture));
}

void TNodeEditForm::GenerateAnimation()
{
    Owner->ShowStatusMessage(QString());
    if (!PicturesReady())
        return;
    const NodeMorphSettings& s = Rec.Node.Morph;
    if (NodeAnimation(Picture(true), NodeData(true), Picture(false), NodeData(false), s, *Result->ResuImag()))
        return;
    ReportAnimation(s);
}

TMeshInfoForm* TNodeEditForm::InfoForm() const { return Owner->NodeInfoForm(); }

void TNodeEditForm::FillInfoSize(bool left, MeshInfoSide& s) const
{
    s.Cols = NodeData(left).Count;
}
