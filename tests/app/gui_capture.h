// Helpers of the workstation's Qt tests: a recorder of error boxes and beeps,
// and answers for the modal questions, all undone when the helper goes away.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QMenu>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <QString>
#include <QTemporaryDir>
#include <vector>

#include "app/dialog_hooks.h"
#include "app/program_folder.h"
#include "images/error_box.h"
#include "project/project_file.h"

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
            return SaveAnswers.isEmpty() ? SaveAnswer : SaveAnswers.takeFirst();
        };
        Dialogs().AskYesNoCancel = [this](QWidget*, const QString&, const QString& text) {
            Questions << text;
            return Answers.isEmpty() ? Answer : Answers.takeFirst();
        };
        Dialogs().ChooseWarpMethod = [this](QWidget*) { return WarpMethod; };
        Dialogs().ExceptionBox = [this](const QString& text) { ExceptionTexts << text; };
        Dialogs().ChooseSide = [this](QDialog* dialog) {
            SideQuestions << dialog->windowTitle();
            return SideAnswers.isEmpty() ? SideAnswer : SideAnswers.takeFirst();
        };
        Dialogs().ShowBox = [this](QDialog* dialog) { ShownBoxes << dialog; };
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
    // Answers taken one by one before the standing ones above.
    QStringList SaveAnswers;
    QList<QMessageBox::StandardButton> Answers;
    // "Image select" and "Mesh select": 0 left, 1 right, -1 Cancel.
    int SideAnswer = 0;
    QList<int> SideAnswers;
    QStringList SideQuestions;
    QList<QDialog*> ShownBoxes;
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

// Runs check while the dialog that open() shows modally is open, then
// cancels it if it is still there. False when the dialog never showed.
inline bool RunWhileOpen(QDialog* dialog, const std::function<void()>& check, const std::function<void()>& open)
{
    bool ran = false;
    QTimer shown;
    shown.setSingleShot(true);
    int waits = 0;
    QObject::connect(&shown, &QTimer::timeout, dialog, [&] {
        // open() may let events run before it shows the dialog.
        if (!dialog->isVisible() && ++waits < 500) {
            shown.start(10);
            return;
        }
        struct Closer {
            QDialog* D;
            ~Closer()
            {
                if (D->isVisible())
                    D->reject();
            }
        } closer{dialog};
        ran = true;
        QVERIFY(dialog->isVisible());
        dialog->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(dialog));
        check();
    });
    shown.start(0);
    open();
    return ran;
}

// Clicks into the field (the field left before is checked), types text over it.
inline void TypeInto(QWidget* field, const QString& text)
{
    QLineEdit* edit = qobject_cast<QLineEdit*>(field);
    if (!edit)
        edit = field->findChild<QLineEdit*>();
    QTest::mouseClick(edit, Qt::LeftButton);
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

// Clicks a button; radio buttons and check boxes on their mark.
inline void ClickOn(QWidget* button)
{
    const bool mark = qobject_cast<QRadioButton*>(button) || qobject_cast<QCheckBox*>(button);
    QTest::mouseClick(button, Qt::LeftButton, {}, mark ? QPoint(6, button->height() / 2) : QPoint());
}

// Copies the demo material of the Data folder beside the program into dir.
inline void CopyDemoData(const QTemporaryDir& dir)
{
    const QDir data(QStringLiteral(QV_BIN_DIR) + "/Data");
    for (const QString& f : data.entryList(QDir::Files))
        QFile::copy(data.filePath(f), dir.filePath(f));
}

// Lets posted events run and closed windows go.
inline void FlushDeletes()
{
    for (int k = 0; k < 2; ++k) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// "text|short-cut" of every item of a menu but the separators.
inline QStringList MenuItems(const QMenu* menu)
{
    QStringList items;
    for (QAction* a : menu->actions())
        if (!a->isSeparator())
            items << a->text() + "|" + a->shortcut().toString();
    return items;
}

// A project file name in dir of the demo pictures (copied there) naming the
// two definition files given, output to dir/out/, the windows 709 x 272 with
// the result window below; edit may change the record before it is written.
// Empty when it could not be written.
inline QString WriteDemoProject(const QTemporaryDir& dir, const QString& name, ProjectKind kind,
                                const QString& left, const QString& right,
                                const std::function<void(ProjectRecord&)>& edit = {})
{
    CopyDemoData(dir);
    ProjectRecord r;
    SetNewProjectDefaults(r, kind, ToNativePath(dir.filePath("out/")), ToNativePath(left), ToNativePath(right));
    ProjectCommon& c = r.Common();
    c.LeftPicture.Set(ToNativePath(dir.filePath("demo_start.bmp")));
    c.RightPicture.Set(ToNativePath(dir.filePath("demo_end.bmp")));
    c.ClientWidth = 709;
    c.ClientHeight = 272;
    c.ResultTop = 300;
    if (edit)
        edit(r);
    const QString file = dir.filePath(name);
    return SaveProj(ToNativePath(file), r) ? QString() : file;
}
