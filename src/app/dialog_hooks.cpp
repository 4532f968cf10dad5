#include "app/dialog_hooks.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QRegularExpression>

DialogHooks& Dialogs()
{
    static DialogHooks hooks;
    return hooks;
}

namespace {
// "PRJ - ... (*.prj)" gives "prj": the suffix a typed name without one gets.
QString FirstSuffix(const QString& filter)
{
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
    return m.hasMatch() ? m.captured(1) : QString();
}
}  // namespace

QString RunOpenFileDialog(QWidget* parent, const QString& title, const QString& startPath, const QString& filter)
{
    if (Dialogs().OpenFile)
        return Dialogs().OpenFile(parent, title, startPath, filter);
    QFileDialog dialog(parent, title, startPath, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

QString RunSaveFileDialog(QWidget* parent, const QString& title, const QString& startPath, const QString& filter)
{
    if (Dialogs().SaveFile)
        return Dialogs().SaveFile(parent, title, startPath, filter);
    QFileDialog dialog(parent, title, startPath, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(FirstSuffix(filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

QMessageBox::StandardButton RunYesNoCancel(QWidget* parent, const QString& title, const QString& text)
{
    if (Dialogs().AskYesNoCancel)
        return Dialogs().AskYesNoCancel(parent, title, text);
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                 QMessageBox::Yes);
}

std::optional<QColor> RunColourDialog(QWidget* parent, const QColor& initial)
{
    if (Dialogs().ChooseColour)
        return Dialogs().ChooseColour(parent, initial);
    const QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

void RunShowBox(QDialog& dialog)
{
    if (Dialogs().ShowBox)
        Dialogs().ShowBox(&dialog);
    else
        dialog.exec();
}
