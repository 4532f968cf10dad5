// Base of every project window and result window inside the main window's
// MDI area. WindowKind tells which: 0 mesh project, 1 node project, 2 mesh
// result, 3 node result. A result window stands for its owner project.
#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>

#include "project/project_record.h"

enum WindowKindCode : uint8_t {
    kMeshProjectWindow = 0,
    kNodeProjectWindow = 1,
    kMeshResultWindow = 2,
    kNodeResultWindow = 3,
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
