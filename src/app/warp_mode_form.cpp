#include "app/warp_mode_form.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TWarpModeForm::TWarpModeForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("WarpModeForm"));
    setWindowTitle(QStringLiteral("Choose warp method"));
    auto* group = new QGroupBox(this);
    RBMeshWarp = new QRadioButton(QStringLiteral("&Mesh warping"), group);
    RBMeshWarp->setObjectName(QStringLiteral("RBMeshWarp"));
    RBNodeWarp = new QRadioButton(QStringLiteral("&Node warping"), group);
    RBNodeWarp->setObjectName(QStringLiteral("RBNodeWarp"));
    RBMeshWarp->setChecked(true);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(RBMeshWarp);
    groupLayout->addWidget(RBNodeWarp);

    BTOK = new QPushButton(QStringLiteral("OK"), this);
    BTOK->setObjectName(QStringLiteral("BTOK"));
    BTOK->setDefault(true);
    BTCancel = new QPushButton(QStringLiteral("Cancel"), this);
    BTCancel->setObjectName(QStringLiteral("BTCancel"));
    connect(BTOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(BTCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BTOK);
    buttons->addWidget(BTCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    setModal(true);
}

int TWarpModeForm::WarpMethod() const { return RBMeshWarp->isChecked() ? 0 : 1; }
