// "Mesh project info": the project's file name, its warp type, and for each
// side the mesh and picture files with the mesh's size. The node project's
// "Node project info" is the same box with the number of nodes instead.
#pragma once

#include <QDialog>

class QLabel;

struct MeshInfoSide {
    QString MeshFile;
    QString PictureFile;
    int Cols = 0;  // the number of nodes in the node box
    int Rows = 0;
};

class TMeshInfoForm : public QDialog {
    Q_OBJECT
public:
    explicit TMeshInfoForm(QWidget* parent = nullptr, bool nodes = false);
    // Names are shown by their file-name part.
    void Fill(const QString& projectName, const MeshInfoSide& source, const MeshInfoSide& destination);

    QLabel* LBFileName;
    QLabel* LBWarpType;
    // Mesh file, picture file, mesh width, mesh height of each side (the
    // node box: mesh file, picture file, number of nodes; the fourth unused).
    QLabel* LBSource[4];
    QLabel* LBDestination[4];
};
