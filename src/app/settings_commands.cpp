#include "app/settings_commands.h"

#include <QAction>
#include <QMenu>
#include <cstring>

#include "app/edit_ance_form.h"
#include "app/envi_form.h"
#include "app/main_morf_form.h"
#include "app/project_fields.h"
#include "app/resu_form.h"
#include "app/sett_form.h"
#include "images/render_view.h"
#include "node/node_frame.h"

namespace {

// A picture view is 28 pixels larger than its pane in each direction.
constexpr int kViewBorder = 28;
// The grey of a new, empty result picture.
constexpr uint8_t kEmptyResultGrey = 207;

// The views neither render nor paint while a settings dialog is shown.
bool RunSuspended(QDialog& dialog)
{
    RedrawSuspended = true;
    const bool accepted = dialog.exec() == QDialog::Accepted;
    RedrawSuspended = false;
    return accepted;
}

QSize PaneSize(TEditAnceForm& project, const ProjectRecord& record, bool left)
{
    const QSize outer = project.ViewOuterSize(left);
    if (outer.isValid())
        return outer - QSize(kViewBorder, kViewBorder);
    if (record.Kind == ProjectKind::Mesh) {
        const MeshViewSettings& v = record.Mesh.View;
        return left ? QSize(v.LeftPaneWidth, v.LeftPaneHeight) : QSize(v.RightPaneWidth, v.RightPaneHeight);
    }
    const NodeViewSettings& v = record.Node.View;
    return left ? QSize(v.LeftPaneWidth, v.LeftPaneHeight) : QSize(v.RightPaneWidth, v.RightPaneHeight);
}

QSize PictureSize(const RasterImage& picture)
{
    return picture.Allocated ? QSize(picture.Width(), picture.Height()) : QSize(0, 0);
}

}  // namespace

bool RunEnviromentSettings(TEditAnceForm& project)
{
    TMainMorfForm* main = TMainMorfForm::Instance();
    ProjectRecord* record = project.Record();
    if (!main || !record)
        return false;
    const bool mesh = record->Kind == ProjectKind::Mesh;
    TEnviForm* form = mesh ? static_cast<TEnviForm*>(main->MeshEnviForm())
                           : static_cast<TEnviForm*>(main->NodeEnviForm());
    auto* result = qobject_cast<TResuForm*>(project.ResultWindow());

    EnviSizes sizes;
    sizes.LeftPane = PaneSize(project, *record, true);
    sizes.RightPane = PaneSize(project, *record, false);
    sizes.ResultClient = result ? result->size()
                                : (mesh ? QSize(record->Mesh.View.ResultWidth, record->Mesh.View.ResultHeight)
                                        : QSize(record->Node.View.ResultWidth, record->Node.View.ResultHeight));
    sizes.LeftPicture = project.LeftPictureSize();
    sizes.RightPicture = project.RightPictureSize();
    sizes.ResultPicture = result ? PictureSize(result->ResuImag()->GetPicture()) : QSize(0, 0);
    form->Fill(*record, sizes);
    const bool accepted = RunSuspended(*form);
    form->SetTarget(nullptr);

    if (!accepted) {
        project.RepaintViews();
        if (result)
            result->ResuImag()->update();
        return false;
    }
    if (result) {
        if (mesh)
            result->ApplyViewSettings(record->Mesh.View);
        else
            result->ApplyViewSettings(record->Node.View);
        result->ResuImag()->RefreshView();
    }
    project.EnviromentApplied();
    main->ActivateProject(&project);
    project.MarkModified();
    return true;
}

bool RunMorphSettings(TEditAnceForm& project)
{
    TMainMorfForm* main = TMainMorfForm::Instance();
    ProjectRecord* record = project.Record();
    if (!main || !record)
        return false;
    const bool mesh = record->Kind == ProjectKind::Mesh;
    TSettForm* form = mesh ? static_cast<TSettForm*>(main->MeshSettForm())
                           : static_cast<TSettForm*>(main->NodeSettForm());
    form->Fill(*record, project.LeftPictureSize(), project.RightPictureSize());
    if (!mesh) {
        // Every OK, also one that failed a check, puts the node warp
        // parameters in force.
        form->AfterEveryOK = [&project, record] {
            ApplyNodeWarpParameters(record->Node.Morph);
            project.SetViewsRadiusMode(record->Node.Morph.WarpMethod);
        };
    }
    const bool accepted = RunSuspended(*form);
    form->AfterEveryOK = nullptr;
    form->SetTarget(nullptr);
    if (!mesh)
        project.RecomputeRadii();
    if (!accepted)
        return false;

    main->SetFrameRange(TotalFramesOf(*record), CurrentFrameOf(*record));
    const int32_t width = mesh ? record->Mesh.Morph.ResultWidth : record->Node.Morph.ResultWidth;
    const int32_t height = mesh ? record->Mesh.Morph.ResultHeight : record->Node.Morph.ResultHeight;
    if (auto* result = qobject_cast<TResuForm*>(project.ResultWindow())) {
        TResuImag* view = result->ResuImag();
        if (PictureSize(view->GetPicture()) != QSize(width, height)) {
            RasterImage grey;
            grey.Init(width, height);
            if (grey.Allocated) {
                std::memset(grey.Lock(), kEmptyResultGrey, static_cast<size_t>(grey.ImageSize));
                grey.Unlock();
                view->SetPicture(std::move(grey));
                view->RefreshView();
            }
        }
    }
    project.MarkModified();
    return true;
}

QMenu* CreateSettingsMenu(TEditAnceForm& project)
{
    auto* menu = new QMenu(QStringLiteral("&Settings"), &project);
    menu->setObjectName(QStringLiteral("Settings1"));
    QAction* enviroment = menu->addAction(QStringLiteral("&Enviroment"));
    enviroment->setObjectName(QStringLiteral("Enviroment1"));
    enviroment->setShortcut(QKeySequence(QStringLiteral("Ctrl+E")));
    QObject::connect(enviroment, &QAction::triggered, &project, [&project] { RunEnviromentSettings(project); });
    QAction* morph = menu->addAction(QStringLiteral("&Morph && Warp"));
    morph->setObjectName(QStringLiteral("MorphWarp1"));
    morph->setShortcut(QKeySequence(QStringLiteral("Ctrl+M")));
    QObject::connect(morph, &QAction::triggered, &project, [&project] { RunMorphSettings(project); });
    return menu;
}
