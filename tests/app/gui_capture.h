// Helpers of the workstation's Qt tests: a recorder of error boxes and beeps,
// and answers for the modal questions, all undone when the helper goes away.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <vector>

#include "app/dialog_hooks.h"
#include "images/error_box.h"

struct GuiCapture {
    std::vector<ErrorBoxMessage> Messages;
    int Beeps = 0;
    QStringList Questions;       // texts of Yes/No/Cancel questions asked
    QStringList DialogTitles;    // titles of file dialogs shown
    QStringList DialogStarts;    // their start paths
    QStringList DialogFilters;

    GuiCapture()
    {
        PreviousError = SetErrorBoxHook([this](const ErrorBoxMessage& m) { Messages.push_back(m); });
        PreviousBeep = SetBeepHook([this] { ++Beeps; });
        Dialogs() = DialogHooks();
        Dialogs().OpenFile = [this](QWidget*, const QString& title, const QString& start, const QString& filter) {
            DialogTitles << title;
            DialogStarts << start;
            DialogFilters << filter;
            return OpenAnswer;
        };
        Dialogs().SaveFile = [this](QWidget*, const QString& title, const QString& start, const QString& filter) {
            DialogTitles << title;
            DialogStarts << start;
            DialogFilters << filter;
            return SaveAnswer;
        };
        Dialogs().AskYesNoCancel = [this](QWidget*, const QString&, const QString& text) {
            Questions << text;
            return Answer;
        };
        Dialogs().ChooseWarpMethod = [this](QWidget*) { return WarpMethod; };
        Dialogs().ExceptionBox = [this](const QString& text) { ExceptionTexts << text; };
    }
    ~GuiCapture()
    {
        SetErrorBoxHook(PreviousError);
        SetBeepHook(PreviousBeep);
        Dialogs() = DialogHooks();
    }
    QString LastText() const { return Messages.empty() ? QString() : QString::fromStdString(Messages.back().Text); }

    QString OpenAnswer;
    QString SaveAnswer;
    QMessageBox::StandardButton Answer = QMessageBox::No;
    int WarpMethod = 0;
    QStringList ExceptionTexts;

private:
    ErrorBoxHook PreviousError;
    BeepHook PreviousBeep;
};

inline QByteArray ReadFileBytes(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void WriteFileBytes(const QString& name, const QByteArray& bytes)
{
    QFile f(name);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}
