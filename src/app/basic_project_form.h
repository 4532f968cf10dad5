// A plain project window: it owns the project record and its file name, keeps
// the modified flag, saves with SaveProj and asks before closing unsaved work.
// It shows the project's settings as text until the full mesh and node
// project windows take its place.
#pragma once

#include <QRect>
#include <QString>

#include "app/edit_ance_form.h"
#include "project/project_record.h"

class QLabel;
class TMainMorfForm;

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
    void ShowFlagsChanged() override { UpdateSummary(); }

    // Writes the project to fileName; true on failure (message shown).
    bool SaveProj(const QString& fileName);
    // Asks for a name and saves there; true when cancelled or failed.
    bool SaveProjectAs();

    const QString& ProjectName() const { return Name; }
    bool HasFile() const { return FromFile; }
    bool IsModified() const { return Modified; }
    // Takes the current placement of both windows as the saved one.
    void RememberPlacement();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void RefreshRecordFromWindow();
    bool PlacementChanged() const;
    QRect ResultPlacement() const;
    void UpdateSummary();
    QWidget* Frame() const;

    ProjectRecord Rec;
    QString Name;
    bool FromFile = false;
    bool Modified = false;
    QLabel* Summary = nullptr;
    QRect SavedResult;
};
