#include "app/mesh_info_form.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QGroupBox* SideBox(const QString& title, const char* prefix, bool nodes, QLabel* (&values)[4], QWidget* parent)
{
    auto* box = new QGroupBox(title, parent);
    auto* form = new QFormLayout(box);
    const char* captions[] = {"Mesh file:", "Picture file:", nodes ? "Number of nodes:" : "Mesh width:",
                              "Mesh height:"};
    const char* names[] = {"Mesh", "Pict", nodes ? "Coun" : "Widt", "Heig"};
    for (int k = 0; k < 4; ++k) {
        values[k] = new QLabel(box);
        values[k]->setObjectName(QStringLiteral("LB%1%2").arg(QLatin1String(prefix), QLatin1String(names[k])));
        if (nodes && k == 3)
            values[k]->hide();
        else
            form->addRow(QString::fromLatin1(captions[k]), values[k]);
    }
    return box;
}

void FillSide(QLabel* (&values)[4], const MeshInfoSide& side)
{
    values[0]->setText(QFileInfo(side.MeshFile).fileName());
    values[1]->setText(QFileInfo(side.PictureFile).fileName());
    values[2]->setText(QString::number(side.Cols));
    values[3]->setText(QString::number(side.Rows));
}

}  // namespace

TMeshInfoForm::TMeshInfoForm(QWidget* parent, bool nodes) : QDialog(parent)
{
    setObjectName(nodes ? QStringLiteral("NodeInfoForm") : QStringLiteral("MeshInfoForm"));
    setWindowTitle(nodes ? QStringLiteral("Node project info") : QStringLiteral("Mesh project info"));
    setModal(true);
    auto* head = new QFormLayout;
    LBFileName = new QLabel(this);
    LBFileName->setObjectName(QStringLiteral("LBFileName"));
    LBWarpType = new QLabel(nodes ? QStringLiteral("NODE") : QStringLiteral("MESH"), this);
    LBWarpType->setObjectName(QStringLiteral("LBWarpType"));
    head->addRow(QStringLiteral("File name:"), LBFileName);
    head->addRow(QStringLiteral("Warp type:"), LBWarpType);
    auto* sides = new QHBoxLayout;
    sides->addWidget(SideBox(QStringLiteral(" Source "), "Sour", nodes, LBSource, this));
    sides->addWidget(SideBox(QStringLiteral(" Destination "), "Dest", nodes, LBDestination, this));
    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("BTOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addLayout(sides);
    layout->addLayout(buttons);
}

void TMeshInfoForm::Fill(const QString& projectName, const MeshInfoSide& source, const MeshInfoSide& destination)
{
    LBFileName->setText(QFileInfo(projectName).fileName());
    FillSide(LBSource, source);
    FillSide(LBDestination, destination);
}
