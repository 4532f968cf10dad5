// The result windows of the mesh and node projects: caption "Result", one
// result view filling the client area. A result window belongs to the
// project window that created it (Project()) and stands for it in commands.
//
// Integration with a project window:
//   auto* result = new TMeshResuForm(projectWindow);     // kind 2, owner set
//   mdiArea->addSubWindow(result);  result->show();
//   result->ApplyViewSettings(record.Mesh.View);          // zoom factors, quality, client size
//   connect(result->ResuImag(), &TResuImag::StatusText, mainWindow, &TMainMorfForm::SetStatusText);
// Bringing both to the front: when the project window becomes active call
// RaiseTogether(result, project) (result first, project on top); when the
// result window becomes active, ResultActivated(projectDestroying,
// projectActivating) raises the project window and then the result window.
#pragma once

#include <cstdint>

#include "app/edit_ance_form.h"
#include "project/project_record.h"
#include "views/resu_imag.h"

class TResuForm : public TEditAnceForm {
    Q_OBJECT
public:
    static constexpr int kMinimumWidth = 89;
    static constexpr int kMinimumHeight = 84;

    TResuForm(uint8_t kind, TEditAnceForm* owner, QWidget* parent = nullptr);

    TResuImag* ResuImag() const { return View; }
    // The project's menus, so that each item calls the project window.
    QList<MergedMenu> MergedMenus() override;
    // Sets the client area (the view follows it); inside an MDI area the
    // sub-window frame grows or shrinks with it.
    void SetClientSize(int width, int height);
    // Zoom factors and quality; the client size from the stored result size.
    void ApplyViewSettings(const MeshViewSettings& view);
    void ApplyViewSettings(const NodeViewSettings& view);

    // The result window became active: unless the project window is being
    // destroyed, is itself activating or is hidden, raise it and then this.
    void ResultActivated(bool projectDestroying, bool projectActivating);

signals:
    // The client area was resized (the project counts that as a change).
    void ClientResized(int width, int height);

protected:
    void resizeEvent(QResizeEvent* event) override;
    // The result window lives and dies with its project: closing it closes
    // the project (with its close query) unless the project already agreed.
    void closeEvent(QCloseEvent* event) override;

private:
    TResuImag* View;
};

class TNodeResuForm : public TResuForm {
    Q_OBJECT
public:
    explicit TNodeResuForm(TEditAnceForm* owner, QWidget* parent = nullptr)
        : TResuForm(kNodeResultWindow, owner, parent)
    {
        setObjectName(QStringLiteral("NodeResuForm"));
    }
};

// Raises the windows (their MDI frames when they have them) in the order
// given, so that the last one ends on top.
void RaiseTogether(QWidget* first, QWidget* second);
