// The small modal questions with two exclusive answers: "Choose warp method"
// of the new-project command, and "Image select" and "Mesh select" of the
// mesh project window. A dialog keeps its last answer checked.
#pragma once

#include <QDialog>

class QGroupBox;
class QRadioButton;
class QPushButton;

class TTwoChoiceForm : public QDialog {
    Q_OBJECT
public:
    // first and second name the radio buttons (objectName, caption); the
    // first one is checked at start.
    TTwoChoiceForm(const char* objectName, const QString& caption, const QString& groupTitle,
                   const char* firstName, const QString& first, const char* secondName, const QString& second,
                   QWidget* parent);
    // 0 for the first answer, 1 for the second.
    int Choice() const;
    // Shows the dialog (or asks the test hook): the answer, -1 for Cancel.
    int Ask();

    QGroupBox* Group;
    QRadioButton* RBFirst;
    QRadioButton* RBSecond;
    QPushButton* BTOK;
    QPushButton* BTCancel;
};

class TWarpModeForm : public TTwoChoiceForm {
    Q_OBJECT
public:
    explicit TWarpModeForm(QWidget* parent = nullptr);
    // 0 mesh warping, 1 node warping.
    int WarpMethod() const { return Choice(); }
    QRadioButton* RBMeshWarp;
    QRadioButton* RBNodeWarp;
};

// "Image select", " Which image? ": 0 left, 1 right.
class TImagSeleForm : public TTwoChoiceForm {
    Q_OBJECT
public:
    explicit TImagSeleForm(QWidget* parent = nullptr);
};

// "Mesh select", " Which mesh? ": 0 left, 1 right.
class TMeshSeleForm : public TTwoChoiceForm {
    Q_OBJECT
public:
    explicit TMeshSeleForm(QWidget* parent = nullptr);
};
