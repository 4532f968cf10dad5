// The environment dialogs ("Enviroment settings") of mesh and node projects:
// picture pane and result window sizes, fitting, what is shown, zoom factors,
// colours, and the zoom quality. Both share the "Windows" tab.
#pragma once

#include <QSize>

#include "app/settings_controls.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

// What the project window hands the dialog besides its record.
struct EnviSizes {
    QSize LeftPane, RightPane;    // the views' outer sizes minus 28
    QSize ResultClient;           // the result window's client area
    QSize LeftPicture, RightPicture, ResultPicture;  // for the "Match" buttons
};

class TEnviForm : public TSettingsDialog {
    Q_OBJECT
public:
    // Fills every control from the record and the sizes, and binds OK to
    // the record. The record must be of this dialog's kind.
    void Fill(ProjectRecord& record, const EnviSizes& sizes);

    // The sizes held for the "Match" buttons.
    QSize LeftPicture, RightPicture, ResultPicture;

    QLineEdit *EDStarPictWidt, *EDStarPictHeig, *EDEnd_PictWidt, *EDEnd_PictHeig, *EDResuPictWidt,
        *EDResuPictHeig;
    QPushButton *BTMatcStarImag, *BTMatcStarAspe, *BTMatcEnd_Imag, *BTMatcEnd_Aspe, *BTMatcResuImag,
        *BTMatcResuAspe;
    QCheckBox *CBFit_Star, *CBFit_End_;
    QLineEdit *EDZoomIn__, *EDZoomOut_;
    QRadioButton *RBResi, *RBResa, *RBInte;
    QSpinBox* SEPoinSize;

protected:
    TEnviForm(QWidget* parent, const QString& showTitle);
    // The " Show " group of the "Windows" tab, filled by the derived dialog.
    QGroupBox* ShowGroup;
    // The " Zooming " group, the " &Point size " group and the point size,
    // for the "General" tab.
    QGroupBox* ZoomingGroup();
    QGroupBox* PointSizeGroup();
    // A "Colors" row: label, shape, "Change" button that picks the colour.
    TColourShape* AddColourRow(QVBoxLayout* page, const QString& label, const char* shapeName,
                               const char* buttonName, QPushButton*& button);
    // The kind's own controls.
    virtual void FillKind(const ProjectRecord& record) = 0;
    virtual void StoreKind(ProjectRecord& record) = 0;
    bool Store(ProjectRecord& record) override;

private:
    template <class View>
    void FillView(const View& view, const EnviSizes& sizes);
    template <class View>
    bool StoreView(View& view);
    void ApplyFit();
    TRadioChoice Quality{this};
};

class TMeshEnviForm : public TEnviForm {
    Q_OBJECT
public:
    explicit TMeshEnviForm(QWidget* parent = nullptr);

    QCheckBox *CBLine, *CBSpli;
    TColourShape *SHLine, *SHSpli, *SHPoin;
    QPushButton *BTChanLine, *BTChanSpli, *BTChanPoin;
    QSpinBox* SESegmNumb;

protected:
    void FillKind(const ProjectRecord& record) override;
    void StoreKind(ProjectRecord& record) override;
};

class TNodeEnviForm : public TEnviForm {
    Q_OBJECT
public:
    explicit TNodeEnviForm(QWidget* parent = nullptr);

    QCheckBox *CBPoin, *CBRadi;
    TColourShape *SHPoin, *SHSele;
    QPushButton *BTChanPoin, *BTChanSele;

protected:
    void FillKind(const ProjectRecord& record) override;
    void StoreKind(ProjectRecord& record) override;
};
