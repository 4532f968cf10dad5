// Base of every project window and result window inside the main window's
// MDI area. WindowKind tells which: 0 mesh project, 1 node project, 2 mesh
// result, 3 node result. A result window stands for its owner project.
#pragma once

#include <QList>
#include <QPointer>
#include <QSize>
#include <QWidget>
#include <cstdint>

#include "project/project_record.h"

enum WindowKindCode : uint8_t {
    kMeshProjectWindow = 0,
    kNodeProjectWindow = 1,
    kMeshResultWindow = 2,
    kNodeResultWindow = 3,
};

class QMenu;

// A menu that a project window lends the main window's menu bar while it is
// active. Menus stand in the bar by merge group; one of the window's menus
// takes the place of the main window's menu of the same group.
struct MergedMenu {
    int Group;
    QMenu* Menu;
};

class TEditAnceForm : public QWidget {
    Q_OBJECT
public:
    explicit TEditAnceForm(uint8_t kind, QWidget* parent = nullptr) : QWidget(parent), WindowKind(kind) {}
    uint8_t WindowKind;
    // The project window this window belongs to: itself for a project window,
    // the owner for a result window.
    TEditAnceForm* Project() { return ProjectOwner ? ProjectOwner.data() : this; }
    void SetProjectOwner(TEditAnceForm* owner) { ProjectOwner = owner; }

    // What the main window's commands ask of a project window. A result
    // window is never asked: the main window resolves it to Project() first.
    // The record the project keeps; null for windows that hold none.
    virtual ProjectRecord* Record() { return nullptr; }
    virtual void MarkModified() {}
    virtual void SaveProject1Click() {}
    virtual void LoadLeftImag() {}
    virtual void LoadRighImag() {}
    virtual void ShowInfo() {}
    virtual void WarpLeft(int /*frame*/) {}
    virtual void MorfOne_(int /*frame*/) {}
    virtual void WarpRigh(int /*frame*/) {}
    virtual void GenerateAnimation() {}
    // The show flags of the record changed: redraw the views.
    virtual void ShowFlagsChanged() {}
    // The menus merged into the main window's menu bar while the project or
    // its result window is active.
    virtual QList<MergedMenu> MergedMenus() { return {}; }

    // What the settings dialogs need of the picture views. Sizes of the
    // start and end pictures in pixels (empty without a picture).
    virtual QSize LeftPictureSize() const { return {}; }
    virtual QSize RightPictureSize() const { return {}; }
    // Outer size of a picture view; an invalid size means the window has no
    // views and the record's pane size stands.
    virtual QSize ViewOuterSize(bool /*left*/) const { return {}; }
    // The environment dialog ended with OK: the views take the record's zoom
    // quality, fit, outer sizes (pane + 28), drawing settings and zoom
    // factors, then recompute and repaint.
    virtual void EnviromentApplied() {}
    // The environment dialog was cancelled: the views repaint.
    virtual void RepaintViews() {}
    // Node projects: both views take the radius mode (after every OK of the
    // morph settings), and recompute their radii and repaint (when the
    // dialog has ended).
    virtual void SetViewsRadiusMode(uint8_t /*mode*/) {}
    virtual void RecomputeRadii() {}
    // The tool of the project's views, as the main window's tool buttons set
    // it in the record; a result window asks its project.
    ToolMode CurrentTool()
    {
        const ProjectRecord* record = Project()->Record();
        return record ? ToolModeOf(record->Common().Tool) : ToolMode::Edit;
    }

    // The result window of a project window (null for none and for result windows).
    TEditAnceForm* ResultWindow() const { return Result; }
    void SetResultWindow(TEditAnceForm* result) { Result = result; }
    // Set while the window brings its partner and itself to the front.
    bool Activating = false;
    // Set once a project window has agreed to close; its result window then
    // closes without asking.
    bool ClosingAccepted = false;

private:
    QPointer<TEditAnceForm> ProjectOwner;
    QPointer<TEditAnceForm> Result;
};
