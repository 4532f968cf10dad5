#include "app/warp_mode_form.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/dialog_hooks.h"

TTwoChoiceForm::TTwoChoiceForm(const char* objectName, const QString& caption, const QString& groupTitle,
                               const char* firstName, const QString& first, const char* secondName,
                               const QString& second, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QString::fromLatin1(objectName));
    setWindowTitle(caption);
    Group = new QGroupBox(groupTitle, this);
    RBFirst = new QRadioButton(first, Group);
    RBFirst->setObjectName(QString::fromLatin1(firstName));
    RBSecond = new QRadioButton(second, Group);
    RBSecond->setObjectName(QString::fromLatin1(secondName));
    RBFirst->setChecked(true);
    auto* groupLayout = new QVBoxLayout(Group);
    groupLayout->addWidget(RBFirst);
    groupLayout->addWidget(RBSecond);

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
    layout->addWidget(Group);
    layout->addLayout(buttons);
    setModal(true);
}

int TTwoChoiceForm::Choice() const { return RBFirst->isChecked() ? 0 : 1; }

int TTwoChoiceForm::Ask()
{
    if (Dialogs().ChooseSide)
        return Dialogs().ChooseSide(this);
    return exec() == QDialog::Accepted ? Choice() : -1;
}

TWarpModeForm::TWarpModeForm(QWidget* parent)
    : TTwoChoiceForm("WarpModeForm", QStringLiteral("Choose warp method"), QString(), "RBMeshWarp",
                     QStringLiteral("&Mesh warping"), "RBNodeWarp", QStringLiteral("&Node warping"), parent),
      RBMeshWarp(RBFirst), RBNodeWarp(RBSecond)
{
}

TImagSeleForm::TImagSeleForm(QWidget* parent)
    : TTwoChoiceForm("ImagSeleForm", QStringLiteral("Image select"), QStringLiteral(" Which image? "), "RBLeft__",
                     QStringLiteral("&Left"), "RBRigh__", QStringLiteral("&Right"), parent)
{
}

TMeshSeleForm::TMeshSeleForm(QWidget* parent)
    : TTwoChoiceForm("MeshSeleForm", QStringLiteral("Mesh select"), QStringLiteral(" Which mesh? "), "RBLeft__",
                     QStringLiteral("&Left"), "RBRigh__", QStringLiteral("&Right"), parent)
{
}
