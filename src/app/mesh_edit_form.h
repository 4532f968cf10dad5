// The mesh project window: the start picture with its mesh on the left, the
// end picture with its mesh on the right (TMeshPanes), and a result window
// with the last frame made. It holds the project record, loads and saves
// pictures, meshes and the project, runs the settings dialogs, the previews
// and the animation, and asks before changes are lost.
#pragma once

#include <QPointer>
#include <QString>

#include "app/project_form.h"
#include "project/project_record.h"

class QMdiSubWindow;
class QMenu;
class TMainMorfForm;
class TMeshDefsData;
class TMeshImag;
class TMeshPanes;
class TMeshResuForm;

class TMeshEditForm : public TProjectForm {
    Q_OBJECT
public:
    // Creates the window and its result window inside owner's MDI area. With
    // fromFile the record read from fileName is applied (placement, pictures,
    // meshes); otherwise a new project gets the default names and settings.
    static TMeshEditForm* CreateProject(TMainMorfForm* owner, const QString& fileName, const ProjectRecord& record,
                                        bool fromFile);
    ~TMeshEditForm() override;

    ProjectRecord* Record() override { return &Rec; }
    void MarkModified() override { Modified = true; }
    void SaveProject1Click() override;
    void LoadLeftImag() override { LoadImag(true); }
    void LoadRighImag() override { LoadImag(false); }
    void ShowInfo() override;
    void WarpLeft(int frame) override { Preview(frame, 0, 0); }
    void MorfOne_(int frame) override { Preview(frame, 0, 1); }
    void WarpRigh(int frame) override { Preview(frame, 1, 0); }
    void GenerateAnimation() override;
    void ShowFlagsChanged() override;
    QList<MergedMenu> MergedMenus() override;
    QSize LeftPictureSize() const override { return PictureSize(true); }
    QSize RightPictureSize() const override { return PictureSize(false); }
    QSize ViewOuterSize(bool left) const override;
    void EnviromentApplied() override;
    void RepaintViews() override;

    bool SaveProj(const QString& fileName) override;

    // The menu commands of the window (and of its result window).
    void SaveProjectAs1Click() { SaveProjectAs(); }
    void LoadPicture1Click();
    void LoadMesh1Click();
    void SaveMesh1Click();
    void SaveMeshAs1Click();
    void SaveResultPicture1Click();
    void Morphing1Click();

    // Writes one mesh under a name asked for; on success the record takes the
    // name and the project is modified. True when cancelled or failed.
    bool SaveMeshAs(bool left);

    TMeshPanes* MeshPanes() const { return Panes; }
    TMeshImag* View(bool left) const;
    TMeshResuForm* ResultForm() const { return Result; }
    // Algorithms of activation: the main window shows this project's state.
    void ActivateProject();
    void DeActivateProject();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TMeshEditForm(TMainMorfForm* owner, const QString& fileName, const ProjectRecord& record, bool fromFile);
    // The views with the record's pictures, regions and sizes.
    void CreateViews();
    // The meshes the record names, with their fallbacks.
    void LoadMeshes();
    void InitProject(bool fromFile);
    void CreateMenus();
    void PlaceWindows(QMdiSubWindow* sub, QMdiSubWindow* resultSub);
    void UpdateMinimumSize();

    void LoadImag(bool left);
    void Preview(int frame, uint8_t warpSide, uint8_t doMorph);
    // False (message shown) unless both pictures are there.
    bool PicturesReady() const;
    // Mesh select: 0 left, 1 right, -1 cancelled.
    int AskSide(bool mesh);
    // A mesh's name as the record holds it, and the file it is written to.
    QString MeshName(bool left) const;
    std::string MeshPath(bool left) const;
    TMeshDefsData& MeshData(bool left) const;
    // Writes a mesh to its file; true on failure.
    bool WriteMesh(bool left);
    // The mesh steps of the close query: asks for a new or changed mesh;
    // false when the window must stay open. renamed is set when the mesh
    // was saved under a new name.
    bool QueryMesh(bool left, bool& renamed);
    bool ChangedSinceSaved() const;
    void RefreshRecordFromWindow(ProjectRecord& record) const;
    QSize PictureSize(bool left) const;

    TMainMorfForm* Owner;
    ProjectRecord Rec;
    TMeshPanes* Panes = nullptr;
    TMeshResuForm* Result = nullptr;
    QPointer<QMdiSubWindow> ResultFrame;
    QMenu* File1 = nullptr;
    QMenu* Run1 = nullptr;
    QMenu* Settings1 = nullptr;
    QSize ClientSize;       // applied once the window has its frame
    bool Ready = false;     // creation is over: resizing now counts as a change
    bool Destroying = false;
};
