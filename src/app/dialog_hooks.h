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

// The project file filter of the open and save dialogs.
inline const char* kProjectFilter = "PRJ - Quorvix project file (*.prj)";
