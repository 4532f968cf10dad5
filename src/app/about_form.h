// The about box, created when asked for and destroyed after it was shown.
#pragma once

#include <QDialog>

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);
};

// A small picture of a square turning into a circle.
QPixmap AboutPicture(int size);
