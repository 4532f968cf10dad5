// The main window: menus, the "File", "Tool" and "Morph" tool bars, the status
// bar with its progress panel, and the MDI area holding the project windows.
// Commands that act on a project go to ActiveProject().
#pragma once

#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <memory>

#include "app/edit_ance_form.h"
#include "project/project_record.h"

class QAction;
class QActionGroup;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QSpinBox;
class QToolBar;
class TEditAnceForm;
class TProgressPanel;
class TProgressDisplay;
class TWarpModeForm;
class TMeshSettForm;
class TMeshEnviForm;
class TNodeEnviForm;
class TNodeSettForm;
class TSelePathForm;
class TImagSeleForm;
class TMeshSeleForm;
class TMeshInfoForm;
class ProgressDisplay;

class TMainMorfForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainMorfForm(QWidget* parent = nullptr);
    ~TMainMorfForm() override;

    // The one main window of the run (null before it exists).
    static TMainMorfForm* Instance();

    // Default names: "Untitled" + n + ".Prj" and "NewMesh" + n + ".Msh"; each
    // call takes the next number, closing a project never gives one back.
    QString New_ProjName();
    QString New_MeshName();

    // The project of the current MDI child (a result window gives its owner).
    TEditAnceForm* ActiveProject() const;
    QMdiArea* MdiArea() const { return MDIArea; }
    // Shows a project or result window as an MDI child of this window.
    QMdiSubWindow* AddChild(TEditAnceForm* form);

    // New project: asks for the warp method, then creates the window.
    void NewProject();
    // Open project: asks for the file, then OpenProjectFile.
    void OpenProject();
    // Reads the file and creates its window; false (message shown, no
    // window) when the file is refused.
    bool OpenProjectFile(const QString& fileName);
    // Creates and shows the window of a project.
    TEditAnceForm* CreateProjectWindow(ProjectKind kind, const QString& fileName, const ProjectRecord* record);

    // Loads the glyph bitmaps and the cursors from folder + "Res/". A bitmap
    // that cannot be loaded is reported and ends the loading (false).
    bool LoadResources(const QString& folder);

    // The state the commands show for a project, and for none.
    void ActivateProject(TEditAnceForm* project);
    void DeActivateProject();

    QSpinBox* FrameSpinEdit() const { return SEPrevFram; }
    TProgressPanel* ProgressPanel() const { return PNProgress; }
    TWarpModeForm* WarpModeForm() const { return WarpMode; }
    // The settings dialogs, one each for the whole run.
    TMeshSettForm* MeshSettForm() const { return MeshSett; }
    TMeshEnviForm* MeshEnviForm() const { return MeshEnvi; }
    TNodeEnviForm* NodeEnviForm() const { return NodeEnvi; }
    TNodeSettForm* NodeSettForm() const { return NodeSett; }
    TSelePathForm* SelePathForm() const { return SelePath; }
    TImagSeleForm* ImagSeleForm() const { return ImagSele; }
    TMeshSeleForm* MeshSeleForm() const { return MeshSele; }
    TMeshInfoForm* MeshInfoForm() const { return MeshInfo; }
    TMeshInfoForm* NodeInfoForm() const { return NodeInfo; }

    // The frame spin edit's upper limit and value, as a project's settings
    // give them; not written back to the project.
    void SetFrameRange(int32_t totalFrames, int32_t currentFrame);

public slots:
    // Text of status panel 0 (the result view's pixel read-out).
    void SetStatusText(const QString& text);
    // A message in the status bar after the panels, until the next one.
    void ShowStatusMessage(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBar();
    void SetProjectCommandsEnabled(bool enabled);
    void SetShowToggles(bool meshKind, bool firstDown, bool secondDown);
    void SubWindowChanged();
    void BringPairForward();
    void ToolClick(uint8_t tool);
    void ShowToggleClick(bool first, bool down);
    void FrameChanged(int value);
    void ArrangeIcons();
    // Puts the menus of project (none: only this window's own) into the
    // menu bar in merge-group order.
    void MergeMenus(TEditAnceForm* project);
    QAction* NewAction(const char* objectName, const QString& text, const QString& hint);

    int ProjectCounter = 0;
    int MeshCounter = 0;
    QPixmap LineBitmap, SpliBitmap, PoinBitmap, RadiBitmap;

    QMdiArea* MDIArea = nullptr;
    TWarpModeForm* WarpMode = nullptr;
    TMeshSettForm* MeshSett = nullptr;
    TMeshEnviForm* MeshEnvi = nullptr;
    TNodeEnviForm* NodeEnvi = nullptr;
    TNodeSettForm* NodeSett = nullptr;
    TSelePathForm* SelePath = nullptr;
    TImagSeleForm* ImagSele = nullptr;
    TMeshSeleForm* MeshSele = nullptr;
    TMeshInfoForm* MeshInfo = nullptr;
    TMeshInfoForm* NodeInfo = nullptr;
    // This window's own menus with their merge groups.
    QList<MergedMenu> OwnMenus;
    QToolBar* TBFile = nullptr;
    QToolBar* TBTool = nullptr;
    QToolBar* TBMorf = nullptr;
    QLabel* PNStatus = nullptr;
    QLabel* PNMessage = nullptr;
    TProgressPanel* PNProgress = nullptr;
    std::unique_ptr<TProgressDisplay> Progress;
    ProgressDisplay* PreviousProgress = nullptr;

    QAction *NewProject1 = nullptr, *OpenProject1 = nullptr, *Exit1 = nullptr;
    QAction *StandardToolbar1 = nullptr, *ToolToolbar1 = nullptr, *MorphToolbar1 = nullptr;
    QAction *StatusLine1 = nullptr, *ProjectInfo1 = nullptr;
    QAction *Tile1 = nullptr, *Cascade1 = nullptr, *ArrangeIcons1 = nullptr;
    QAction *Index1 = nullptr, *About1 = nullptr;
    QAction *SBSaveProj = nullptr, *SBLoadLeft = nullptr, *SBLoadRigh = nullptr;
    QAction *SBEdit = nullptr, *SBZoomIn__ = nullptr, *SBZoomAll_ = nullptr, *SBHandMove = nullptr,
            *SBDelete__ = nullptr;
    QActionGroup* ToolGroup = nullptr;
    QAction *SBShowLine = nullptr, *SBShowSpli = nullptr;
    QAction *SBWarpLeft = nullptr, *SBMorf = nullptr, *SBWarpRigh = nullptr, *SBGeneAnim = nullptr;
    QSpinBox* SEPrevFram = nullptr;

    // The project whose state the commands show; changes of the frame spin
    // edit are not written back while that state is being applied.
    QPointer<TEditAnceForm> ShownProject;
    bool Applying = false;
};
