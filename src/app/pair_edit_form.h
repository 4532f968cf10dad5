// A project window with a pair of picture views and a result window, as mesh
// and node projects have them: the record, the "&File" and "&Run" menus, the
// side questions, loading and saving pictures, definition files and the
// project, the close query and the animation's report. A derived window
// supplies its views and its definitions (meshes or node sets) through the
// hooks below.
#pragma once

#include <QPointer>
#include <QString>
#include <string>

#include "app/pair_panes.h"
#include "app/project_form.h"
#include "project/project_record.h"

class QMdiSubWindow;
class QMenu;
class RasterImage;
class TMainMorfForm;
class TMeshInfoForm;
class TPairPanes;
struct MeshInfoSide;
class TResuForm;

class TPairEditForm : public TProjectForm {
    Q_OBJECT
public:
    ProjectRecord* Record() override { return &Rec; }
    void MarkModified() override { Modified = true; }
    void SaveProject1Click() override;
    void LoadLeftImag() override { LoadImag(true); }
    void LoadRighImag() override { LoadImag(false); }
    QList<MergedMenu> MergedMenus() override;
    QSize LeftPictureSize() const override { return PictureSize(true); }
    QSize RightPictureSize() const override { return PictureSize(false); }

    bool SaveProj(const QString& fileName) override;
    // The environment dialog's OK and Cancel for the views.
    void EnviromentApplied() override;
    void RepaintViews() override;
    QSize ViewOuterSize(bool left) const override;

    // The menu commands of the window (and of its result window).
    void SaveProjectAs1Click() { SaveProjectAs(); }
    void LoadPicture1Click();
    void LoadMesh1Click();
    void SaveMesh1Click();
    void SaveMeshAs1Click();
    // "Mesh project info" or "Node project info", shown modally.
    void ShowInfo() override;
    void SaveResultPicture1Click();
    void Morphing1Click();

    // Writes one side's definitions under a name asked for; on success the
    // record takes the name and the project is modified. True when cancelled
    // or failed.
    bool SaveMeshAs(bool left);

    TResuForm* ResultForm() const { return Result; }
    // The main window shows this project's state, or none.
    void ActivateProject();
    void DeActivateProject();

protected:
    // fromFile: record was read from fileName; otherwise a new project of
    // kind gets the default names and settings.
    TPairEditForm(uint8_t windowKind, TMainMorfForm* owner, ProjectKind kind, const QString& fileName,
                  const ProjectRecord& record, bool fromFile);
    ~TPairEditForm() override;
    // The first step of destruction: the result window goes.
    void DestroyResult();
    // Puts a created window and its result window into the owner's MDI area
    // and finishes the creation.
    static void Show(TPairEditForm* form);

    // Puts the derived window's panes into the window, with the record's
    // pictures and regions when the project comes from a file (a picture
    // that does not load clears its name and modifies the project), and
    // gives the window its first size.
    void InstallPanes(TPairPanes* panes);
    bool HasPicture(bool left) const;
    const RasterImage& Picture(bool left) const;
    // Takes the picture over and shows all of it.
    void ShowPicture(bool left, RasterImage&& picture);
    // Divider, shown regions and the result window's client size.
    void StoreViews(ProjectRecord& record) const;
    int LeftPaneWidth() const;

    // The hooks of the derived window.
    // The record's drawing settings (show flags, colours, zoom) to both views.
    virtual void ApplyDrawing() = 0;
    virtual bool DefsIsNew(bool left) const = 0;
    virtual bool DefsModified(bool left) const = 0;
    // Both true on failure (message shown). Loading with checkSize refuses
    // a file of another size than the current definitions; a load that
    // succeeds repaints the view.
    virtual bool SaveDefs(bool left, const std::string& fileName) = 0;
    virtual bool LoadDefs(bool left, const std::string& fileName, bool checkSize) = 0;
    // One side's definitions become a copy of the other side's, never saved
    // and changed.
    virtual void CopyDefs(bool toLeft) = 0;
    virtual void SetDefsModified(bool left) = 0;
    // The definitions the record names, with their fallbacks: a right file
    // that does not load (or does not fit the left) leaves a copy of the left
    // under a new name; without the left file both are the right one; with
    // neither, both get new names.
    void LoadDefinitions();
    // The information box of the kind, and one side's definition size in it.
    virtual TMeshInfoForm* InfoForm() const = 0;
    virtual void FillInfoSize(bool left, MeshInfoSide& side) const = 0;
    // The views' own modified flags (set by editing with the mouse).
    virtual bool ViewsModified() const = 0;
    virtual void ClearViewsModified() = 0;
    // What the record sets in the views once the windows have their place:
    // the fit flags (and, for a new project, the pane sizes), the result
    // window's view settings and the drawing settings.
    virtual void InitViews(bool fromFile);
    // Whether resizing the project window is a change of the project.
    virtual bool ResizeModifies() const { return true; }

    // Called by the derived window's constructor.
    void SetResultForm(TResuForm* result);
    void CreateMenus();
    // Once the windows have their frames and whenever the left pane changes.
    void UpdateMinimumSize();
    // False (message shown) unless both pictures are there.
    bool PicturesReady() const;
    // After an animation that did not fail: how many frames went where.
    void ReportAnimation(const MeshMorphSettings& settings);
    void ReportAnimation(const NodeMorphSettings& settings);
    // A preview's frame to the result window.
    void ShowFrame(RasterImage&& picture);

    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    TMainMorfForm* Owner;
    ProjectRecord Rec;
    TPairPanes* Panes = nullptr;
    TResuForm* Result = nullptr;
    QSize ClientSize;       // applied once the window has its frame
    bool Ready = false;     // creation is over: resizing now counts as a change
    bool Destroying = false;

private:
    void PlaceWindows(QMdiSubWindow* sub, QMdiSubWindow* resultSub);
    PaneLayout Layout() const;
    void LoadImag(bool left);
    // Mesh select or image select: 0 left, 1 right, -1 cancelled.
    int AskSide(bool defs);
    // A definition file's name as the record holds it, and the file it is
    // written to.
    QString MeshName(bool left) const;
    std::string MeshPath(bool left) const;
    bool WriteMesh(bool left) { return SaveDefs(left, MeshPath(left)); }
    // The definition steps of the close query: asks for new or changed
    // definitions; false when the window must stay open. renamed is set
    // when they were saved under a new name.
    bool QueryMesh(bool left, bool& renamed);
    bool ChangedSinceSaved() const;
    void RefreshRecordFromWindow(ProjectRecord& record) const;
    QSize PictureSize(bool left) const;

    QPointer<QMdiSubWindow> ResultFrame;
    QMenu* File1 = nullptr;
    QMenu* Run1 = nullptr;
    QMenu* Settings1 = nullptr;

    template <class Morph>
    void Report(const Morph& settings);
};
