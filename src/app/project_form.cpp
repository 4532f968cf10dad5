#include "app/project_form.h"

#include <QFileInfo>
#include <QMdiSubWindow>

#include "app/dialog_hooks.h"
#include "app/picture_filters.h"
#include "app/program_folder.h"
#include "images/error_box.h"
#include "images/picture_file.h"
#include "project/project_file.h"

QWidget* TProjectForm::FrameOf(QWidget* form)
{
    return qobject_cast<QMdiSubWindow*>(form->parentWidget()) ? form->parentWidget() : form;
}

QMessageBox::StandardButton TProjectForm::AskSaveChanges(const QString& name)
{
    return RunYesNoCancel(this, ApplicationTitle(), QStringLiteral("Save changes to %1?").arg(name));
}

QString TProjectForm::DialogStart(const QString& name)
{
    const QString data = WithSeparator(ProgramFolder()) + QStringLiteral("Data/");
    if (name.isEmpty() || QFileInfo(name).isAbsolute())
        return name.isEmpty() ? data : name;
    return data + name;
}

void TProjectForm::UpdateCaption() { setWindowTitle(QFileInfo(Name).fileName()); }

bool TProjectForm::SaveProjectAs()
{
    const QString chosen = RunSaveFileDialog(this, ApplicationTitle() + QStringLiteral(" - save project as ..."),
                                             DialogStart(Name), QString::fromLatin1(kProjectFilter));
    if (chosen.isEmpty() || SaveProj(chosen))
        return true;
    Name = chosen;
    FromFile = true;
    UpdateCaption();
    return false;
}

QString TProjectForm::SideTitle(const char* verb, const char* noun, bool left)
{
    return ApplicationTitle() + QStringLiteral(" - %1 %2 %3")
                                    .arg(QLatin1String(verb), left ? QStringLiteral("left") : QStringLiteral("right"),
                                         QLatin1String(noun));
}

bool TProjectForm::AskForPicture(bool left, std::string& fileName, RasterImage& picture)
{
    const QString chosen = RunOpenFileDialog(this, SideTitle("load", "image", left), DialogStart(),
                                             QString::fromLatin1(kOpenPictureFilter));
    if (chosen.isEmpty())
        return false;
    fileName = ToNativePath(chosen);
    if (!IsPictureFileType(LowerExtension(fileName))) {
        ShowErrorBox(9, UnreadablePictureMessage(fileName));
        return false;
    }
    LoadPicture(fileName, picture);
    return picture.Allocated;
}
