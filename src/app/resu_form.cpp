#include "app/resu_form.h"

#include <QMdiSubWindow>
#include <QCloseEvent>
#include <QResizeEvent>
#include <QTimer>

namespace {

QWidget* Frame(QWidget* w)
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget()))
        return sub;
    return w;
}

}  // namespace

TResuForm::TResuForm(uint8_t kind, TEditAnceForm* owner, QWidget* parent)
    : TEditAnceForm(kind, parent), View(new TResuImag(this))
{
    SetProjectOwner(owner);
    setWindowTitle("Result");
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    View->SetAligned(true);
    View->SetToolSource([this] { return CurrentTool(); });
    resize(160, 100);
    View->setGeometry(rect());
    connect(View, &TResuImag::PictureSized, this, &TResuForm::SetClientSize);
}

void TResuForm::SetClientSize(int width, int height)
{
    QWidget* frame = Frame(this);
    if (frame != this) {
        const QSize border = frame->size() - size();
        frame->resize(QSize(width, height) + border);
    }
    resize(width, height);
    View->setGeometry(rect());
}

void TResuForm::ApplyViewSettings(const MeshViewSettings& view)
{
    View->SetZoomInFactor(view.ZoomInFactor.Get());
    View->SetZoomOutFactor(view.ZoomOutFactor.Get());
    View->SetDisplayMode(view.ZoomQuality);
    if (view.ResultWidth > 0 && view.ResultHeight > 0)
        SetClientSize(view.ResultWidth, view.ResultHeight);
}

void TResuForm::ApplyViewSettings(const NodeViewSettings& view)
{
    View->SetZoomInFactor(view.ZoomInFactor.Get());
    View->SetZoomOutFactor(view.ZoomOutFactor.Get());
    View->SetDisplayMode(view.ZoomQuality);
    if (view.ResultWidth > 0 && view.ResultHeight > 0)
        SetClientSize(view.ResultWidth, view.ResultHeight);
}

void TResuForm::resizeEvent(QResizeEvent* event)
{
    TEditAnceForm::resizeEvent(event);
    View->setGeometry(rect());
    emit ClientResized(width(), height());
}

void TResuForm::closeEvent(QCloseEvent* event)
{
    TEditAnceForm* project = Project();
    if (project == this || project->ClosingAccepted) {
        event->accept();
        return;
    }
    event->ignore();
    QWidget* frame = Frame(project);
    QTimer::singleShot(0, frame, [frame] { frame->close(); });
}

void TResuForm::ResultActivated(bool projectDestroying, bool projectActivating)
{
    QWidget* project = Project();
    if (project == this || projectDestroying || projectActivating || !project->isVisible())
        return;
    Activating = true;
    RaiseTogether(project, this);
    Activating = false;
}

void RaiseTogether(QWidget* first, QWidget* second)
{
    if (first)
        Frame(first)->raise();
    if (second)
        Frame(second)->raise();
}

QList<MergedMenu> TResuForm::MergedMenus()
{
    TEditAnceForm* project = Project();
    return project != this ? project->MergedMenus() : QList<MergedMenu>();
}
