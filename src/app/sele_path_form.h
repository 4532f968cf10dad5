// "Selsect output path": a folder tree with a chooser of the mounted file
// systems above it, behind the "&Browse" button of the morph settings.
#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QFileSystemModel;
class QPushButton;
class QTreeView;

class TSelePathForm : public QDialog {
    Q_OBJECT
public:
    explicit TSelePathForm(QWidget* parent = nullptr);

    // Shows folder (or, when it does not exist, the nearest folder above it
    // that does) as the current one.
    void SetDirectory(const QString& folder);
    // The current folder of the tree, without a trailing "/" except for the root.
    QString Directory() const;

    QComboBox* DCBSeleDrive;
    QTreeView* DLBSelePath;
    QPushButton* BTOK;
    QPushButton* BTCancel;

private:
    void DriveChosen(int index);
    void ShowFolder(const QString& folder);
    // Opens the folders above the current one and scrolls it into sight.
    void Reveal();
    QFileSystemModel* Model;
    QString Shown;
};
