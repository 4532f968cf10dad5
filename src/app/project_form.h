// What every project window has, whatever it warps with: the project's name
// and file, the modified flag, saving under a new name, the "Save changes to"
// question and the placement of its MDI frame.
#pragma once

#include <QMessageBox>
#include <QString>
#include <string>

#include "app/edit_ance_form.h"

class RasterImage;

class TProjectForm : public TEditAnceForm {
    Q_OBJECT
public:
    using TEditAnceForm::TEditAnceForm;

    const QString& ProjectName() const { return Name; }
    bool HasFile() const { return FromFile; }
    bool IsModified() const { return Modified; }

    // Writes the project to fileName; true on failure (message shown, the
    // flags as they were).
    virtual bool SaveProj(const QString& fileName) = 0;
    // Asks for a name (starting at ProjectName) and saves there; on success
    // the project is bound to that file. True when cancelled or failed.
    bool SaveProjectAs();

    // The window that carries a form's placement: its MDI frame when it has
    // one, else the form itself.
    static QWidget* FrameOf(QWidget* form);
    // "Save changes to <name>?" with Yes, No and Cancel.
    QMessageBox::StandardButton AskSaveChanges(const QString& name);
    // Where a file dialog starts: the "Data" folder beside the program, with
    // name in it when name has no folder of its own.
    static QString DialogStart(const QString& name = QString());
    // A file dialog's title: the application title + " - load left image",
    // " - save right mesh", ...
    static QString SideTitle(const char* verb, const char* noun, bool left);
    // Asks for the start (left) or end picture and loads it; false when
    // cancelled or refused (message shown).
    bool AskForPicture(bool left, std::string& fileName, RasterImage& picture);

protected:
    QWidget* Frame() const { return FrameOf(const_cast<TProjectForm*>(this)); }
    // Caption := the file-name part of ProjectName.
    void UpdateCaption();

    QString Name;
    bool FromFile = false;
    bool Modified = false;
};
