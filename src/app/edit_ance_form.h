// Base of every project window and result window inside the main window's
// MDI area. WindowKind tells which: 0 mesh project, 1 node project, 2 mesh
// result, 3 node result. A result window stands for its owner project.
#pragma once

#include <QWidget>
#include <cstdint>

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
    TEditAnceForm* Project() { return ProjectOwner ? ProjectOwner : this; }
    void SetProjectOwner(TEditAnceForm* owner) { ProjectOwner = owner; }

private:
    TEditAnceForm* ProjectOwner = nullptr;
};
