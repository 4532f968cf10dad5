// A plain project window: it owns the project record and its file name, keeps
// the modified flag, saves with SaveProj and asks before closing unsaved work.
// A mesh project shows its two pictures with their meshes (TMeshPanes); a node
// project shows its settings as text until the node views take its place.
#pragma once

#include <QRect>
#include <QString>

#include "app/edit_ance_form.h"
#include "images/raster_image.h"
#include "mesh/mesh_defs.h"
#include "node/node_defs.h"
#include "project/project_record.h"

class ResultView;

class QLabel;
class TMainMorfForm;
class TMeshPanes;

class TBasicProjectForm : public TEditAnceForm {
    Q_OBJECT
public:
    // record null: a new project of that kind, with the default names and
    // settings; otherwise the record read from fileName.
    TBasicProjectForm(TMainMorfForm* owner, ProjectKind kind, const QString& fileName, const ProjectRecord* record,
                      QWidget* parent = nullptr);

    ProjectRecord* Record() override { return &Rec; }
    void MarkModified() override
    {
        Modified = true;
        UpdateSummary();
    }
    void SaveProject1Click() override;
    void ShowInfo() override;
    void ShowFlagsChanged() override;
    void LoadLeftImag() override { LoadImag(true); }
    void LoadRighImag() override { LoadImag(false); }
    void WarpLeft(int frame) override { Preview(frame, 0, 0); }
    void MorfOne_(int frame) override { Preview(frame, 0, 1); }
    void WarpRigh(int frame) override { Preview(frame, 1, 0); }
    void GenerateAnimation() override;
    QList<MergedMenu> MergedMenus() override;
    QSize LeftPictureSize() const override { return PictureSize(true); }
    QSize RightPictureSize() const override { return PictureSize(false); }
    QSize ViewOuterSize(bool left) const override;
    void EnviromentApplied() override;
    void RepaintViews() override;

    // Writes the project to fileName; true on failure (message shown).
    bool SaveProj(const QString& fileName);
    // Asks for a name and saves there; true when cancelled or failed.
    bool SaveProjectAs();

    const QString& ProjectName() const { return Name; }
    bool HasFile() const { return FromFile; }
    bool IsModified() const { return Modified; }
    // Takes the current placement of both windows as the saved one.
    void RememberPlacement();
    // The picture panes of a mesh project (null for a node project).
    TMeshPanes* MeshPanes() const { return Panes; }

protected:
    void closeEvent(QCloseEvent* event) override;
    // A mesh project window takes its client size once it is in its frame.
    void showEvent(QShowEvent* event) override;

private:
    // Asks for a picture and makes it the start (left) or end picture.
    void LoadImag(bool left);
    // One frame with the project's settings but the side and morph flag given,
    // shown in the result window.
    void Preview(int frame, uint8_t warpSide, uint8_t doMorph);
    // The pictures and definitions the record names, loaded where needed;
    // false (messages shown) when something is missing.
    bool LoadMaterial();
    ResultView* ResultViewOf() const;
    void RefreshRecordFromWindow();
    bool PlacementChanged() const;
    QRect ResultPlacement() const;
    void UpdateSummary();
    QString SummaryText();
    QWidget* Frame() const;
    static QSize SizeOf(const RasterImage& picture)
    {
        return picture.Allocated ? QSize(picture.Width(), picture.Height()) : QSize(0, 0);
    }
    // The start or end picture's size; empty while none is loaded.
    QSize PictureSize(bool left) const;
    // Mesh projects: the panes with the record's pictures, meshes and view
    // settings; pictures and mesh files that cannot be found are left out.
    void CreateMeshPanes(TMainMorfForm* owner);
    void LoadMeshFiles();

    ProjectRecord Rec;
    QString Name;
    bool FromFile = false;
    bool Modified = false;
    QLabel* Summary = nullptr;
    QMenu* SettingsMenu = nullptr;
    TMeshPanes* Panes = nullptr;
    QSize ClientSize;
    QRect SavedResult;
    // Node projects: pictures in memory, loaded from the record's names when
    // first needed (a mesh project keeps them in its views).
    RasterImage LeftPicture, RightPicture;
    TNodeDefsData LeftNodes, RightNodes;
};
