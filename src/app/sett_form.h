// The morph settings dialogs ("Mesh morph settings", "Node morph settings"):
// output files and type, result size, the frames to make, what to make, and
// the warp method of the project's kind.
#pragma once

#include <QList>
#include <QSize>

#include "app/settings_controls.h"

class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class TSelePathForm;

class TSettForm : public TSettingsDialog {
    Q_OBJECT
public:
    // Fills every control from the record, keeps the picture sizes for the
    // "Match" buttons and binds OK to the record, which must be of this
    // dialog's kind.
    void Fill(ProjectRecord& record, QSize leftPicture, QSize rightPicture);
    // The folder dialog behind "&Browse".
    void SetPathForm(TSelePathForm* form) { PathForm = form; }

    QSize LeftPicture, RightPicture;

    QLineEdit *EDOutpPath, *EDOutpPref, *EDResuPictWidt, *EDResuPictHeig;
    QPushButton *BTBrowOutpPath, *BTMatcStarImag, *BTMatcStarAspe, *BRMatcEnd_Imag, *MTMatcEnd_Aspe;
    QSpinBox *SETotaFram, *SEFirsFram, *SELastFram, *SECurrFram, *SEDelaFram;
    QRadioButton *RBToDoAnim, *RBToDoFram, *RBMorp, *RBWarp, *RBLeft, *RBRigh;
    // The output type radios in value order ("Sequence of &TGA files" ...).
    QList<QRadioButton*> TypeButtons;

protected:
    TSettForm(QWidget* parent, const QString& caption);
    // The "Warping" page, built by the derived dialog.
    QVBoxLayout* WarpingPage;
    virtual void FillWarping(const ProjectRecord& record) = 0;
    // Stores the warping controls; true when a check failed.
    virtual bool StoreWarping(ProjectRecord& record) = 0;
    bool Store(ProjectRecord& record) override;

private:
    void Browse();
    template <class Morph>
    void FillMorph(const Morph& m);
    template <class Morph>
    bool StoreMorph(Morph& m);
    TSelePathForm* PathForm = nullptr;
    TRadioChoice Animation{this}, Morphing{this}, Side{this}, Type{this};
};

class TMeshSettForm : public TSettForm {
    Q_OBJECT
public:
    explicit TMeshSettForm(QWidget* parent = nullptr);
    QRadioButton *RBMeshSpli, *RBMeshLine, *RBInteSpli, *RBInteLine;

protected:
    void FillWarping(const ProjectRecord& record) override;
    bool StoreWarping(ProjectRecord& record) override;

private:
    TRadioChoice MeshKind{this}, Intervals{this};
};

class TNodeSettForm : public TSettForm {
    Q_OBJECT
public:
    explicit TNodeSettForm(QWidget* parent = nullptr);
    QRadioButton *RBFixeRadi, *RBAdapSour, *RBAdapDest;
    QLineEdit* EDMi__;
    QSpinBox* SERadi;

protected:
    void FillWarping(const ProjectRecord& record) override;
    bool StoreWarping(ProjectRecord& record) override;

private:
    TRadioChoice Method{this};
};
