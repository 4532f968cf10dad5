// The modal questions of the workstation (file dialogs, message boxes, the
// warp-method choice) go through replaceable functions, so that tests can
// answer them without a modal event loop. An empty function means: show the
// real dialog.
#pragma once

#include <QColor>
#include <QMessageBox>
#include <QString>
#include <functional>
#include <optional>

class QDialog;
class QWidget;

struct DialogHooks {
    // Returns the chosen file name, or "" when cancelled. filter is in Qt form
    // ("Desc (*.a *.b);;...").
    using FileDialog = std::function<QString(QWidget* parent, const QString& title, const QString& startPath,
                                             const QString& filter)>;
    FileDialog OpenFile;
    FileDialog SaveFile;
    // A Yes/No/Cancel question.
    std::function<QMessageBox::StandardButton(QWidget* parent, const QString& title, const QString& text)>
        AskYesNoCancel;
    // The warp-method choice: 0 mesh, 1 node, -1 cancelled.
    std::function<int(QWidget* parent)> ChooseWarpMethod;
    // A two-answer question ("Image select", "Mesh select"): 0 the first
    // answer, 1 the second, -1 cancelled.
    std::function<int(QDialog* dialog)> ChooseSide;
    // A filled modal box that only shows something ("Mesh project info").
    std::function<void(QDialog* dialog)> ShowBox;
    // The box of the application-wide exception hook.
    std::function<void(const QString& text)> ExceptionBox;
    // The colour dialog: the chosen colour, or none when cancelled.
    std::function<std::optional<QColor>(QWidget* parent, const QColor& initial)> ChooseColour;
};

DialogHooks& Dialogs();

QString RunOpenFileDialog(QWidget* parent, const QString& title, const QString& startPath, const QString& filter);
QString RunSaveFileDialog(QWidget* parent, const QString& title, const QString& startPath, const QString& filter);
QMessageBox::StandardButton RunYesNoCancel(QWidget* parent, const QString& title, const QString& text);
std::optional<QColor> RunColourDialog(QWidget* parent, const QColor& initial);
void RunShowBox(QDialog& dialog);

// The project file filter of the open and save dialogs.
inline const char* kProjectFilter = "PRJ - Quorvix project file (*.prj)";
