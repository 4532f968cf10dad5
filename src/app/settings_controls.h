// Building blocks of the settings dialogs: the common frame (page tabs, "&OK"
// and "&Cancel", the OK handling that keeps the dialog open after a failed
// check), colour shapes, radio groups bound to a byte of the record, the
// checks made when a field is left, and the "Image" / "Ratio" buttons.
#pragma once

#include <QDialog>
#include <QFrame>
#include <QList>
#include <QSize>
#include <cstdint>
#include <functional>
#include <string>

#include "project/project_record.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QVBoxLayout;

class TSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit TSettingsDialog(QWidget* parent);

    // Binds the dialog to the record that OK stores into until it is bound
    // again; the controls are filled by the derived dialogs.
    void SetTarget(ProjectRecord* record) { Target = record; }
    // Called after every OK, whether or not a check failed.
    std::function<void()> AfterEveryOK;

    QTabWidget* Tabs = nullptr;
    QPushButton* BTOK = nullptr;
    QPushButton* BTCancel = nullptr;

protected:
    // Reads every control into the record (values are stored before they
    // are checked) and shows the message of every failed check; true when
    // one failed.
    virtual bool Store(ProjectRecord& record) = 0;
    // A new page with a vertical layout.
    QVBoxLayout* AddPage(const QString& title);
    // The dialog opens on its first page with the focus in first.
    void ShowFirstPage(QLineEdit* first);

private:
    void OKClick();
    ProjectRecord* Target = nullptr;
};

// A colour shown as a filled rectangle. Colours are 0x00BBGGRR.
class TColourShape : public QFrame {
    Q_OBJECT
public:
    TColourShape(const char* name, QWidget* parent);
    uint32_t Colour() const { return Value; }
    void SetColour(uint32_t colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    uint32_t Value = 0;
};

// Radio buttons that stand for the values of one byte of the record.
class TRadioChoice {
public:
    explicit TRadioChoice(QObject* owner);
    void Add(QAbstractButton* button, uint8_t value);
    // Checks the button of value; a value that has none checks no button.
    void Fill(uint8_t value);
    // The value of the checked button; value stays when none is checked.
    void Read(uint8_t& value) const;

private:
    QButtonGroup* Group;
};

// Checks run when the focus moves from a field to another control of its
// dialog. A field that breaks its rule shows the message and takes the
// replacement; one that cannot be read shows its conversion message and
// stays; one that passes is written back in normal form.
void CheckIntegerWhenLeft(QLineEdit* edit, int32_t least, const std::string& message);
void CheckRealWhenLeft(QLineEdit* edit, std::function<bool(double)> rule, const std::string& message,
                       double replacement);

// "Image" writes the picture's size into the two edits; "Ratio" fits the
// typed size to the picture's proportions. picture points at the size that
// the dialog holds for the row.
void ConnectMatchButtons(QPushButton* image, QPushButton* ratio, QLineEdit* width, QLineEdit* height,
                         const QSize* picture);

// Small constructors that give each control its name.
QLineEdit* NewEdit(const char* name, QWidget* parent, int width = 50);
QPushButton* NewButton(const char* name, const QString& caption, QWidget* parent);
QLabel* NewLabel(const QString& caption, QWidget* buddy, QWidget* parent);
QCheckBox* NewCheck(const char* name, const QString& caption, QWidget* parent);
QRadioButton* NewRadio(const char* name, const QString& caption, QWidget* parent);
QSpinBox* NewSpin(const char* name, int low, int high, QWidget* parent);
// The "&OK" (default) and "&Cancel" buttons of a dialog, right-aligned in a
// row; Cancel rejects the dialog, OK is the caller's to connect.
QHBoxLayout* NewOKCancelRow(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel);

// Integer reads of the OK checks: the edits in order, into their targets,
// until one cannot be read; false then (the rest keep their values).
bool ReadIntegers(const QList<std::pair<QLineEdit*, int32_t*>>& fields);
