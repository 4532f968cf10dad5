#include "app/sett_form.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <limits>

#include "app/program_folder.h"
#include "app/sele_path_form.h"
#include "app/settings_values.h"
#include "images/error_box.h"

namespace {

// The output types in the order of their values; a new type is one more row.
struct OutputTypeRadio {
    const char* Name;
    const char* Caption;
    OutputKind Value;
};
constexpr OutputTypeRadio kOutputTypes[] = {
    {"RBTypeTGA_", "Sequence of &TGA files", OutputKind::Tga},
    {"RBTypeBMP_", "Sequence of B&MP files", OutputKind::Bmp},
    {"RBTypeAVI_", "&AVI digital video", OutputKind::Avi},
    {"RBTypePNG_", "Sequence of &PNG files", OutputKind::Png},
};

constexpr int kMaxFrame = 32768;

// A group box whose radio buttons lie in one row.
QGroupBox* RadioRow(const QString& title, std::initializer_list<QRadioButton*> radios, QWidget* parent,
                    bool vertical = false)
{
    auto* group = new QGroupBox(title, parent);
    QBoxLayout* layout = vertical ? static_cast<QBoxLayout*>(new QVBoxLayout(group))
                                  : static_cast<QBoxLayout*>(new QHBoxLayout(group));
    for (QRadioButton* r : radios)
        layout->addWidget(r);
    layout->addStretch();
    return group;
}

}  // namespace

TSettForm::TSettForm(QWidget* parent, const QString& caption) : TSettingsDialog(parent)
{
    setWindowTitle(caption);

    // "Files"
    QVBoxLayout* files = AddPage(QStringLiteral("Files"));
    QWidget* filesPage = files->parentWidget();
    auto* output = new QGroupBox(QStringLiteral(" Output file "), filesPage);
    EDOutpPath = NewEdit("EDOutpPath", output, 280);
    EDOutpPath->setMaxLength(255);
    BTBrowOutpPath = NewButton("BTBrowOutpPath", QStringLiteral("&Browse"), output);
    EDOutpPref = NewEdit("EDOutpPref", output, 120);
    EDOutpPref->setMaxLength(255);
    auto* outputGrid = new QGridLayout(output);
    outputGrid->addWidget(NewLabel(QStringLiteral("&Path:"), EDOutpPath, output), 0, 0);
    outputGrid->addWidget(EDOutpPath, 0, 1);
    outputGrid->addWidget(BTBrowOutpPath, 0, 2);
    outputGrid->addWidget(NewLabel(QStringLiteral("Prefi&x:"), EDOutpPref, output), 1, 0);
    outputGrid->addWidget(EDOutpPref, 1, 1, Qt::AlignLeft);
    outputGrid->setColumnStretch(3, 1);
    files->addWidget(output);
    connect(BTBrowOutpPath, &QPushButton::clicked, this, &TSettForm::Browse);

    EDResuPictWidt = NewEdit("EDResuPictWidt", filesPage);
    EDResuPictHeig = NewEdit("EDResuPictHeig", filesPage);
    CheckIntegerWhenLeft(EDResuPictWidt, kLeastPictureSize, WidthMessage());
    CheckIntegerWhenLeft(EDResuPictHeig, kLeastPictureSize, HeightMessage());
    auto* resolution = new QHBoxLayout;
    resolution->addWidget(NewLabel(QStringLiteral("&Resolution:"), EDResuPictWidt, filesPage));
    resolution->addWidget(EDResuPictWidt);
    resolution->addWidget(new QLabel(QStringLiteral("x"), filesPage));
    resolution->addWidget(EDResuPictHeig);
    const struct {
        const char* Title;
        QPushButton** Image;
        const char* ImageName;
        QPushButton** Ratio;
        const char* RatioName;
        const QSize* Picture;
    } matches[] = {
        {" Match &start: ", &BTMatcStarImag, "BTMatcStarImag", &BTMatcStarAspe, "BTMatcStarAspe", &LeftPicture},
        {" Match &end: ", &BRMatcEnd_Imag, "BRMatcEnd_Imag", &MTMatcEnd_Aspe, "MTMatcEnd_Aspe", &RightPicture},
    };
    for (const auto& m : matches) {
        auto* group = new QGroupBox(QString::fromLatin1(m.Title), filesPage);
        *m.Image = NewButton(m.ImageName, QStringLiteral("Image"), group);
        *m.Ratio = NewButton(m.RatioName, QStringLiteral("Ratio"), group);
        auto* layout = new QHBoxLayout(group);
        layout->addWidget(*m.Image);
        layout->addWidget(*m.Ratio);
        resolution->addWidget(group);
        ConnectMatchButtons(*m.Image, *m.Ratio, EDResuPictWidt, EDResuPictHeig, m.Picture);
    }
    files->addLayout(resolution);

    auto* type = new QGroupBox(QStringLiteral(" Type "), filesPage);
    auto* typeLayout = new QVBoxLayout(type);
    for (const OutputTypeRadio& t : kOutputTypes) {
        QRadioButton* radio = NewRadio(t.Name, QString::fromLatin1(t.Caption), type);
        typeLayout->addWidget(radio);
        Type.Add(radio, static_cast<uint8_t>(t.Value));
        TypeButtons << radio;
    }
    files->addWidget(type);
    files->addStretch();

    // "Sequence"
    QVBoxLayout* sequence = AddPage(QStringLiteral("Sequence"));
    QWidget* sequencePage = sequence->parentWidget();
    auto* frames = new QGroupBox(QStringLiteral(" Frames: "), sequencePage);
    SETotaFram = NewSpin("SETotaFram", 2, kMaxFrame, frames);
    SEFirsFram = NewSpin("SEFirsFram", 1, kMaxFrame, frames);
    SELastFram = NewSpin("SELastFram", 1, kMaxFrame, frames);
    SECurrFram = NewSpin("SECurrFram", 1, kMaxFrame, frames);
    SEDelaFram = NewSpin("SEDelaFram", 1, std::numeric_limits<int32_t>::max(), frames);
    for (QSpinBox* spin : {SETotaFram, SEFirsFram, SELastFram, SECurrFram, SEDelaFram})
        spin->setMinimumWidth(90);
    auto* framesGrid = new QGridLayout(frames);
    const std::pair<const char*, QSpinBox*> spins[] = {
        {"&Total:", SETotaFram}, {"&First:", SEFirsFram}, {"La&st:", SELastFram}, {"&Current:", SECurrFram}};
    int row = 0;
    for (auto [caption, spin] : spins) {
        framesGrid->addWidget(NewLabel(QString::fromLatin1(caption), spin, frames), row, 0);
        framesGrid->addWidget(spin, row, 1);
        ++row;
    }
    framesGrid->addWidget(NewLabel(QStringLiteral("&Delay between\nframes in ms:"), SEDelaFram, frames), row, 0);
    framesGrid->addWidget(SEDelaFram, row, 1);

    auto* toDo = new QGroupBox(QStringLiteral(" To do "), sequencePage);
    RBToDoAnim = NewRadio("RBToDoAnim", QStringLiteral("&Animation"), toDo);
    RBToDoFram = NewRadio("RBToDoFram", QStringLiteral("One &frame"), toDo);
    RBMorp = NewRadio("RBMorp", QStringLiteral("Do &morph"), toDo);
    RBWarp = NewRadio("RBWarp", QStringLiteral("Do &warp"), toDo);
    RBLeft = NewRadio("RBLeft", QStringLiteral("With &left image"), toDo);
    RBRigh = NewRadio("RBRigh", QStringLiteral("With &right image"), toDo);
    Animation.Add(RBToDoAnim, 1);
    Animation.Add(RBToDoFram, 0);
    Morphing.Add(RBMorp, 1);
    Morphing.Add(RBWarp, 0);
    Side.Add(RBLeft, 0);
    Side.Add(RBRigh, 1);
    // Three independent choices, one pair a line.
    auto* toDoGrid = new QGridLayout(toDo);
    const std::pair<QRadioButton*, QRadioButton*> pairs[] = {
        {RBToDoAnim, RBToDoFram}, {RBMorp, RBWarp}, {RBLeft, RBRigh}};
    row = 0;
    for (auto [first, second] : pairs) {
        toDoGrid->addWidget(first, row, 0);
        toDoGrid->addWidget(second, row, 1);
        ++row;
    }
    auto* sequenceRow = new QHBoxLayout;
    sequenceRow->addWidget(frames);
    sequenceRow->addWidget(toDo, 0, Qt::AlignTop);
    sequence->addLayout(sequenceRow);
    sequence->addStretch();

    WarpingPage = AddPage(QStringLiteral("Warping"));
}

void TSettForm::Browse()
{
    if (!PathForm)
        return;
    PathForm->SetDirectory(EDOutpPath->text());
    if (PathForm->exec() == QDialog::Accepted)
        EDOutpPath->setText(PathForm->Directory());
}

template <class Morph>
void TSettForm::FillMorph(const Morph& m)
{
    EDOutpPath->setText(FromNativePath(m.OutputPath.Get()));
    EDOutpPref->setText(FromNativePath(m.OutputPrefix.Get()));
    EDResuPictWidt->setText(QString::number(m.ResultWidth));
    EDResuPictHeig->setText(QString::number(m.ResultHeight));
    Type.Fill(m.OutputType);
    SETotaFram->setValue(m.TotalFrames);
    SEFirsFram->setValue(m.FirstFrame);
    SELastFram->setValue(m.LastFrame);
    SECurrFram->setValue(m.CurrentFrame);
    SEDelaFram->setValue(m.FrameDelay);
    Animation.Fill(m.DoAnimation != 0 ? 1 : 0);
    Morphing.Fill(m.DoMorph != 0 ? 1 : 0);
    Side.Fill(m.WarpSide);
}

void TSettForm::Fill(ProjectRecord& record, QSize leftPicture, QSize rightPicture)
{
    LeftPicture = leftPicture;
    RightPicture = rightPicture;
    if (record.Kind == ProjectKind::Mesh)
        FillMorph(record.Mesh.Morph);
    else
        FillMorph(record.Node.Morph);
    FillWarping(record);
    ShowFirstPage(EDOutpPath);
    SetTarget(&record);
}

template <class Morph>
bool TSettForm::StoreMorph(Morph& m)
{
    bool failed = false;
    Animation.Read(m.DoAnimation);
    Side.Read(m.WarpSide);
    Morphing.Read(m.DoMorph);
    m.TotalFrames = SETotaFram->value();
    m.FirstFrame = SEFirsFram->value();
    m.LastFrame = SELastFram->value();
    m.CurrentFrame = SECurrFram->value();
    m.FrameDelay = SEDelaFram->value();
    m.OutputPath.Set(ToNativePath(EDOutpPath->text()));
    m.OutputPrefix.Set(ToNativePath(EDOutpPref->text()));
    Type.Read(m.OutputType);
    if (!ReadIntegers({{EDResuPictWidt, &m.ResultWidth}, {EDResuPictHeig, &m.ResultHeight}})) {
        ShowErrorBox(1, kBadInteger);
        failed = true;
    }
    if (!(m.FirstFrame <= m.LastFrame && m.LastFrame <= m.TotalFrames && m.CurrentFrame <= m.TotalFrames)) {
        ShowErrorBox(1, kFramesMessage);
        failed = true;
    }
    if (m.ResultWidth < kLeastPictureSize) {
        ShowErrorBox(1, WidthMessage());
        failed = true;
    }
    if (m.ResultHeight < kLeastPictureSize) {
        ShowErrorBox(1, HeightMessage());
        failed = true;
    }
    return failed;
}

bool TSettForm::Store(ProjectRecord& record)
{
    // The warping page comes first: the warp method (and the node radius
    // and exponent) before the frames and files.
    const bool warping = StoreWarping(record);
    const bool rest = record.Kind == ProjectKind::Mesh ? StoreMorph(record.Mesh.Morph) : StoreMorph(record.Node.Morph);
    return warping || rest;
}

TMeshSettForm::TMeshSettForm(QWidget* parent) : TSettForm(parent, QStringLiteral("Mesh morph settings"))
{
    setObjectName(QStringLiteral("MeshSettForm"));
    QWidget* page = WarpingPage->parentWidget();
    RBMeshSpli = NewRadio("RBMeshSpli", QStringLiteral("&Catmull-Rom splines"), page);
    RBMeshLine = NewRadio("RBMeshLine", QStringLiteral("&Lines"), page);
    RBInteSpli = NewRadio("RBInteSpli", QStringLiteral("C&atmull-Rom interpolation"), page);
    RBInteLine = NewRadio("RBInteLine", QStringLiteral("L&inear interpolation"), page);
    MeshKind.Add(RBMeshSpli, 1);
    MeshKind.Add(RBMeshLine, 0);
    Intervals.Add(RBInteSpli, 1);
    Intervals.Add(RBInteLine, 0);
    WarpingPage->addWidget(RadioRow(QStringLiteral(" Mesh "), {RBMeshSpli, RBMeshLine}, page, true));
    WarpingPage->addWidget(RadioRow(QStringLiteral(" Intervals "), {RBInteSpli, RBInteLine}, page, true));
    WarpingPage->addStretch();
}

void TMeshSettForm::FillWarping(const ProjectRecord& record)
{
    const uint8_t method = record.Mesh.Morph.WarpMethod;
    MeshKind.Fill((method >> 1) & 1);
    Intervals.Fill(method & 1);
}

bool TMeshSettForm::StoreWarping(ProjectRecord& record)
{
    uint8_t& method = record.Mesh.Morph.WarpMethod;
    uint8_t spline = (method >> 1) & 1;
    uint8_t cubic = method & 1;
    MeshKind.Read(spline);
    Intervals.Read(cubic);
    method = static_cast<uint8_t>(2 * spline + cubic);
    return false;
}

TNodeSettForm::TNodeSettForm(QWidget* parent) : TSettForm(parent, QStringLiteral("Node morph settings"))
{
    setObjectName(QStringLiteral("NodeSettForm"));
    // It stays above the other windows while it is open.
    setWindowFlag(Qt::WindowStaysOnTopHint);
    QWidget* page = WarpingPage->parentWidget();
    RBFixeRadi = NewRadio("RBFixeRadi", QStringLiteral("Fixed"), page);
    RBAdapSour = NewRadio("RBAdapSour", QStringLiteral("Adaptive - source"), page);
    RBAdapDest = NewRadio("RBAdapDest", QStringLiteral("Adaptive - destination"), page);
    Method.Add(RBFixeRadi, 0);
    Method.Add(RBAdapSour, 1);
    Method.Add(RBAdapDest, 2);
    WarpingPage->addWidget(
        RadioRow(QStringLiteral(" Warp method - radius "), {RBFixeRadi, RBAdapSour, RBAdapDest}, page, true));

    auto* parameters = new QGroupBox(QStringLiteral(" Warp parametrs "), page);
    EDMi__ = NewEdit("EDMi__", parameters, 90);
    SERadi = NewSpin("SERadi", 0, 1000, parameters);
    SERadi->setMinimumWidth(90);
    auto* grid = new QGridLayout(parameters);
    grid->addWidget(NewLabel(QStringLiteral("Exponent mi:"), EDMi__, parameters), 0, 0);
    grid->addWidget(EDMi__, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("<-1.5, 10>"), parameters), 0, 2);
    grid->addWidget(NewLabel(QStringLiteral("Radius:"), SERadi, parameters), 1, 0);
    grid->addWidget(SERadi, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("<0, 1000>"), parameters), 1, 2);
    grid->setColumnStretch(3, 1);
    WarpingPage->addWidget(parameters);
    WarpingPage->addStretch();
    CheckRealWhenLeft(EDMi__, [](double mi) { return mi >= -1.5 && mi <= 10; }, kMiMessage, 1.0);
}

void TNodeSettForm::FillWarping(const ProjectRecord& record)
{
    const NodeMorphSettings& m = record.Node.Morph;
    Method.Fill(m.WarpMethod);
    SERadi->setValue(m.Radius);
    EDMi__->setText(RealText(m.Mi.Get()));
}

bool TNodeSettForm::StoreWarping(ProjectRecord& record)
{
    NodeMorphSettings& m = record.Node.Morph;
    Method.Read(m.WarpMethod);
    m.Radius = SERadi->value();
    const std::optional<double> mi = ReadReal48(EDMi__->text());
    if (!mi) {
        ShowErrorBox(1, kBadReal);
        return true;
    }
    m.Mi.Set(*mi);
    // The same interval as the field check and the label.
    if (!(*mi >= -1.5 && *mi <= 10)) {
        ShowErrorBox(1, kMiMessage);
        return true;
    }
    return false;
}
