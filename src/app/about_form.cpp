#include "app/about_form.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

QPixmap AboutPicture(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(QColor(32, 48, 96));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const int steps = 5;
    for (int k = 0; k < steps; ++k) {
        // Frame k of a square-to-circle morph: the corner radius grows.
        const double t = static_cast<double>(k) / (steps - 1);
        const double side = size * 0.3;
        const double x = size * 0.08 + k * (size * 0.84 - side) / (steps - 1);
        const double y = size * 0.35;
        QPainterPath path;
        path.addRoundedRect(QRectF(x, y, side, side), t * side / 2, t * side / 2);
        p.fillPath(path, QColor::fromHsvF(0.15 - 0.15 * t, 0.8, 1.0));
    }
    return pixmap;
}

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About Quorvix"));
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("IMPict"));
    picture->setPixmap(AboutPicture(96));
    auto* text = new QLabel(QStringLiteral("<b>Quorvix</b><br>Image morphing workstation"), this);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BTOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addWidget(text);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    setModal(true);
}
