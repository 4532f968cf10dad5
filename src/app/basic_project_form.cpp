#include "app/basic_project_form.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>
#include <utility>

#include "app/dialog_hooks.h"
#include "app/main_morf_form.h"
#include "app/picture_filters.h"
#include "app/program_folder.h"
#include "app/project_fields.h"
#include "app/resu_form.h"
#include "app/settings_commands.h"
#include "images/error_box.h"
#include "images/picture_file.h"
#include "node/node_frame.h"
#include "project/project_file.h"
#include "project/project_material.h"

TBasicProjectForm::TBasicProjectForm(TMainMorfForm* owner, const QString& fileName, const ProjectRecord* record,
                                     QWidget* parent)
    : TProjectForm(kNodeProjectWindow, parent)
{
    setObjectName(QStringLiteral("NodeEditForm"));
    if (record) {
        Rec = *record;
        Rec.Kind = ProjectKind::Node;
        Name = fileName;
        FromFile = true;
    } else {
        Name = owner->New_ProjName();
        const QString left = owner->New_MeshName();
        const QString right = owner->New_MeshName();
        SetNewProjectDefaults(Rec, ProjectKind::Node, ToNativePath(ProgramFolder()), ToNativePath(left),
                              ToNativePath(right));
    }
    UpdateCaption();
    SettingsMenu = CreateSettingsMenu(*this);
    Summary = new QLabel(this);
    Summary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Summary);
    UpdateSummary();
    resize(420, 160);
}

QList<MergedMenu> TBasicProjectForm::MergedMenus() { return {{kSettingsMenuGroup, SettingsMenu}}; }

void TBasicProjectForm::ShowFlagsChanged() { UpdateSummary(); }

void TBasicProjectForm::RefreshRecordFromWindow()
{
    ProjectCommon& c = Rec.Common();
    c.WindowTop = Frame()->y();
    c.WindowLeft = Frame()->x();
    c.ClientWidth = width();
    c.ClientHeight = height();
    if (QWidget* result = ResultWindow()) {
        const QWidget* frame = FrameOf(result);
        c.ResultTop = frame->y();
        c.ResultLeft = frame->x();
        Rec.Node.View.ResultWidth = result->width();
        Rec.Node.View.ResultHeight = result->height();
    }
}

QRect TBasicProjectForm::ResultPlacement() const
{
    QWidget* result = ResultWindow();
    if (!result)
        return {};
    return QRect(FrameOf(result)->pos(), result->size());
}

void TBasicProjectForm::RememberPlacement() { SavedResult = ResultPlacement(); }

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
    QString text = tr("Node project");
    text += QStringLiteral("\n") + tr("Start picture: ") + FromNativePath(c.LeftPicture.Get());
    text += QStringLiteral("\n") + tr("End picture: ") + FromNativePath(c.RightPicture.Get());
    text += QStringLiteral("\n") + tr("Nodes: ") + FromNativePath(c.LeftDefs.Get()) + QStringLiteral(", ") +
            FromNativePath(c.RightDefs.Get());
    text += QStringLiteral("\n") + tr("Frames: %1 (current %2)").arg(TotalFramesOf(Rec)).arg(CurrentFrameOf(Rec));
    return text;
}

bool TBasicProjectForm::SaveProj(const QString& fileName)
{
    RefreshRecordFromWindow();
    if (::SaveProj(ToNativePath(fileName), Rec))
        return true;
    Modified = false;
    RememberPlacement();
    return false;
}

void TBasicProjectForm::SaveProject1Click()
{
    if (FromFile) {
        SaveProj(Name);
        return;
    }
    if (AskSaveChanges(Name) == QMessageBox::Yes)
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
        const QMessageBox::StandardButton answer = AskSaveChanges(Name);
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
    std::string name;
    RasterImage picture;
    if (!AskForPicture(left, name, picture))
        return;
    (left ? Rec.Common().LeftPicture : Rec.Common().RightPicture).Set(name);
    (left ? LeftPicture : RightPicture) = std::move(picture);
    MarkModified();
}

bool TBasicProjectForm::LoadMaterial()
{
    const ProjectCommon& c = Rec.Common();
    const std::string projectFile = FromFile ? ToNativePath(Name) : std::string();
    if (!LeftPicture.Allocated || !RightPicture.Allocated) {
        ProjectFiles files;
        for (auto [stored, where] : {std::pair{&c.LeftPicture, &files.LeftPicture},
                                     std::pair{&c.RightPicture, &files.RightPicture}}) {
            *where = LocateProjectFile(stored->Get(), projectFile);
            if (where->empty()) {
                ShowErrorBox(14, stored->Get().empty() ? std::string("Load the start and end pictures first.")
                                                       : "File was not found: " + stored->Get());
                return false;
            }
        }
        RasterImage left, right;
        if (!LoadProjectPictures(files, left, right))
            return false;
        LeftPicture = std::move(left);
        RightPicture = std::move(right);
    }
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
    NodeMorphSettings s = Rec.Node.Morph;
    s.WarpSide = warpSide;
    s.DoMorph = doMorph;
    ApplyNodeWarpParameters(s);
    NodeFrame(LeftPicture, LeftNodes, RightPicture, RightNodes, s, frame, picture);
    // A failed node warp still leaves a defined frame worth seeing.
    if (picture.Allocated) {
        view->SetPicture(std::move(picture));
        view->RefreshView();
    }
}

void TBasicProjectForm::GenerateAnimation()
{
    ResultView* view = ResultViewOf();
    if (!view || !LoadMaterial())
        return;
    ApplyNodeWarpParameters(Rec.Node.Morph);
    NodeAnimation(LeftPicture, LeftNodes, RightPicture, RightNodes, Rec.Node.Morph, *view);
}
