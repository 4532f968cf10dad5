#include "app/project_form.h"

#include <QFileInfo>
#include <QMdiSubWindow>

#include "app/dialog_hooks.h"
#include "app/program_folder.h"

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
