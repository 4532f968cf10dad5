// A plain node project window: it owns the project record and its file name,
// keeps the modified flag, saves with SaveProj and asks before closing
// unsaved work. It shows its settings as text until the node views take its
// place.
#pragma once

#include <QRect>
#include <QString>

#include "app/project_form.h"
#include "images/raster_image.h"
#include "node/node_defs.h"
#include "project/project_record.h"

class ResultView;

class QLabel;
class TMainMorfForm;

class TBasicProjectForm : public TProjectForm {
    Q_OBJECT
public:
    // record null: a new node project with the default names and settings;
    // otherwise the record read from fileName.
    TBasicProjectForm(TMainMorfForm* owner, const QString& fileName, const ProjectRecord* record,
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
    QSize LeftPictureSize() const override { return SizeOf(LeftPicture); }
    QSize RightPictureSize() const override { return SizeOf(RightPicture); }
    void EnviromentApplied() override { UpdateSummary(); }

    bool SaveProj(const QString& fileName) override;

    // Takes the current placement of both windows as the saved one.
    void RememberPlacement();

protected:
    void closeEvent(QCloseEvent* event) override;

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
    static QSize SizeOf(const RasterImage& picture)
    {
        return picture.Allocated ? QSize(picture.Width(), picture.Height()) : QSize(0, 0);
    }

    ProjectRecord Rec;
    QLabel* Summary = nullptr;
    QMenu* SettingsMenu = nullptr;
    QRect SavedResult;
    // Pictures in memory, loaded from the record's names when first needed.
    RasterImage LeftPicture, RightPicture;
    TNodeDefsData LeftNodes, RightNodes;
};
