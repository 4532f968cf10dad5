// "Choose warp method": the question of the new-project command.
#pragma once

#include <QDialog>

class QRadioButton;
class QPushButton;

class TWarpModeForm : public QDialog {
    Q_OBJECT
public:
    explicit TWarpModeForm(QWidget* parent = nullptr);
    // 0 mesh warping, 1 node warping.
    int WarpMethod() const;
    QRadioButton* RBMeshWarp;
    QRadioButton* RBNodeWarp;
    QPushButton* BTOK;
    QPushButton* BTCancel;
};
