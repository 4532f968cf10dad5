#include "app/envi_form.h"

#include <QCheckBox>
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

#include "app/dialog_hooks.h"
#include "app/settings_values.h"
#include "images/error_box.h"

namespace {

QColor ToQColor(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

uint32_t FromQColor(const QColor& c)
{
    return static_cast<uint32_t>(c.red()) | static_cast<uint32_t>(c.green()) << 8 |
           static_cast<uint32_t>(c.blue()) << 16;
}

}  // namespace

TEnviForm::TEnviForm(QWidget* parent, const QString& showTitle) : TSettingsDialog(parent)
{
    setWindowTitle(QStringLiteral("Enviroment settings"));
    QVBoxLayout* page = AddPage(QStringLiteral("Windows"));
    QWidget* windows = page->parentWidget();

    EDStarPictWidt = NewEdit("EDStarPictWidt", windows);
    EDStarPictHeig = NewEdit("EDStarPictHeig", windows);
    EDEnd_PictWidt = NewEdit("EDEnd_PictWidt", windows);
    EDEnd_PictHeig = NewEdit("EDEnd_PictHeig", windows);
    EDResuPictWidt = NewEdit("EDResuPictWidt", windows);
    EDResuPictHeig = NewEdit("EDResuPictHeig", windows);
    auto* sizes = new QGridLayout;
    const struct {
        const char* Caption;
        QLineEdit* Width;
        QLineEdit* Height;
    } rows[] = {{"&Sart picture:", EDStarPictWidt, EDStarPictHeig},
                {"&End picture:", EDEnd_PictWidt, EDEnd_PictHeig},
                {"&Result picture:", EDResuPictWidt, EDResuPictHeig}};
    int row = 0;
    for (const auto& r : rows) {
        sizes->addWidget(NewLabel(QString::fromLatin1(r.Caption), r.Width, windows), row, 0);
        sizes->addWidget(r.Width, row, 1);
        sizes->addWidget(new QLabel(QStringLiteral("x"), windows), row, 2);
        sizes->addWidget(r.Height, row, 3);
        CheckIntegerWhenLeft(r.Width, kLeastPictureSize, WidthMessage());
        CheckIntegerWhenLeft(r.Height, kLeastPictureSize, HeigthFieldMessage());
        ++row;
    }

    auto* match = new QGroupBox(QStringLiteral(" M&atch: "), windows);
    auto* matchGrid = new QGridLayout(match);
    BTMatcStarImag = NewButton("BTMatcStarImag", QStringLiteral("Image"), match);
    BTMatcStarAspe = NewButton("BTMatcStarAspe", QStringLiteral("Ratio"), match);
    BTMatcEnd_Imag = NewButton("BTMatcEnd_Imag", QStringLiteral("Image"), match);
    BTMatcEnd_Aspe = NewButton("BTMatcEnd_Aspe", QStringLiteral("Ratio"), match);
    BTMatcResuImag = NewButton("BTMatcResuImag", QStringLiteral("Image"), match);
    BTMatcResuAspe = NewButton("BTMatcResuAspe", QStringLiteral("Ratio"), match);
    const QSize* pictures[] = {&LeftPicture, &RightPicture, &ResultPicture};
    QPushButton* images[] = {BTMatcStarImag, BTMatcEnd_Imag, BTMatcResuImag};
    QPushButton* ratios[] = {BTMatcStarAspe, BTMatcEnd_Aspe, BTMatcResuAspe};
    for (int i = 0; i < 3; ++i) {
        matchGrid->addWidget(images[i], i, 0);
        matchGrid->addWidget(ratios[i], i, 1);
        ConnectMatchButtons(images[i], ratios[i], rows[i].Width, rows[i].Height, pictures[i]);
    }

    auto* top = new QHBoxLayout;
    top->addLayout(sizes);
    top->addWidget(match);
    page->addLayout(top);

    auto* fit = new QGroupBox(QStringLiteral(" Fit "), windows);
    CBFit_Star = NewCheck("CBFit_Star", QStringLiteral("&T"), fit);
    CBFit_End_ = NewCheck("CBFit_End_", QStringLiteral("&D"), fit);
    auto* fitLayout = new QVBoxLayout(fit);
    fitLayout->addWidget(CBFit_Star);
    fitLayout->addWidget(CBFit_End_);
    connect(CBFit_Star, &QCheckBox::toggled, this, &TEnviForm::ApplyFit);
    connect(CBFit_End_, &QCheckBox::toggled, this, &TEnviForm::ApplyFit);

    ShowGroup = new QGroupBox(showTitle, windows);
    new QVBoxLayout(ShowGroup);

    auto* zoom = new QGroupBox(QStringLiteral(" Zooming size factors "), windows);
    EDZoomIn__ = NewEdit("EDZoomIn__", zoom, 70);
    EDZoomOut_ = NewEdit("EDZoomOut_", zoom, 70);
    auto* zoomGrid = new QGridLayout(zoom);
    zoomGrid->addWidget(NewLabel(QStringLiteral("Zoom &in:"), EDZoomIn__, zoom), 0, 0);
    zoomGrid->addWidget(EDZoomIn__, 0, 1);
    zoomGrid->addWidget(NewLabel(QStringLiteral("Zoom o&ut:"), EDZoomOut_, zoom), 1, 0);
    zoomGrid->addWidget(EDZoomOut_, 1, 1);
    for (QLineEdit* e : {EDZoomIn__, EDZoomOut_})
        CheckRealWhenLeft(e, [](double v) { return v > 0; }, kZoomFieldMessage, 2.0);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(fit);
    bottom->addWidget(ShowGroup);
    bottom->addWidget(zoom);
    page->addLayout(bottom);

    SEPoinSize = NewSpin("SEPoinSize", 5, 100, this);
    RBResi = new QRadioButton(QStringLiteral("&Low quality (quick)"), this);
    RBResi->setObjectName(QStringLiteral("RBResi"));
    RBResa = new QRadioButton(QStringLiteral("&Normal"), this);
    RBResa->setObjectName(QStringLiteral("RBResa"));
    RBInte = new QRadioButton(QStringLiteral("&High quality (slow but nice)"), this);
    RBInte->setObjectName(QStringLiteral("RBInte"));
    Quality.Add(RBResi, 0);
    Quality.Add(RBResa, 1);
    Quality.Add(RBInte, 2);
}

QGroupBox* TEnviForm::ZoomingGroup()
{
    auto* group = new QGroupBox(QStringLiteral(" Zooming "));
    auto* layout = new QVBoxLayout(group);
    for (QRadioButton* b : {RBResi, RBResa, RBInte})
        layout->addWidget(b);
    return group;
}

QGroupBox* TEnviForm::PointSizeGroup()
{
    auto* group = new QGroupBox(QStringLiteral(" &Point size "));
    auto* layout = new QHBoxLayout(group);
    layout->addWidget(SEPoinSize);
    layout->addStretch();
    return group;
}

TColourShape* TEnviForm::AddColourRow(QVBoxLayout* page, const QString& label, const char* shapeName,
                                      const char* buttonName, QPushButton*& button)
{
    QWidget* parent = page->parentWidget();
    auto* shape = new TColourShape(shapeName, parent);
    button = NewButton(buttonName, QStringLiteral("Change"), parent);
    auto* row = new QHBoxLayout;
    QLabel* caption = NewLabel(label, button, parent);
    caption->setMinimumWidth(100);
    row->addWidget(caption);
    row->addWidget(shape);
    row->addWidget(button);
    row->addStretch();
    page->addLayout(row);
    // The colour goes into the record only with OK.
    connect(button, &QPushButton::clicked, this, [this, shape] {
        if (const std::optional<QColor> chosen = RunColourDialog(this, ToQColor(shape->Colour())))
            shape->SetColour(FromQColor(*chosen));
    });
    return shape;
}

void TEnviForm::ApplyFit()
{
    const bool start = !CBFit_Star->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(EDStarPictWidt), static_cast<QWidget*>(EDStarPictHeig),
                       static_cast<QWidget*>(BTMatcStarImag), static_cast<QWidget*>(BTMatcStarAspe)})
        w->setEnabled(start);
    const bool end = !CBFit_End_->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(EDEnd_PictWidt), static_cast<QWidget*>(EDEnd_PictHeig),
                       static_cast<QWidget*>(BTMatcEnd_Imag), static_cast<QWidget*>(BTMatcEnd_Aspe)})
        w->setEnabled(end);
}

template <class View>
void TEnviForm::FillView(const View& view, const EnviSizes& sizes)
{
    EDStarPictWidt->setText(QString::number(sizes.LeftPane.width()));
    EDStarPictHeig->setText(QString::number(sizes.LeftPane.height()));
    EDEnd_PictWidt->setText(QString::number(sizes.RightPane.width()));
    EDEnd_PictHeig->setText(QString::number(sizes.RightPane.height()));
    EDResuPictWidt->setText(QString::number(sizes.ResultClient.width()));
    EDResuPictHeig->setText(QString::number(sizes.ResultClient.height()));
    CBFit_Star->setChecked(view.FitLeft != 0);
    CBFit_End_->setChecked(view.FitRight != 0);
    ApplyFit();
    EDZoomIn__->setText(RealText(view.ZoomInFactor.Get()));
    EDZoomOut_->setText(RealText(view.ZoomOutFactor.Get()));
    Quality.Fill(view.ZoomQuality);
    SEPoinSize->setValue(view.PointSize);
}

void TEnviForm::Fill(ProjectRecord& record, const EnviSizes& sizes)
{
    LeftPicture = sizes.LeftPicture;
    RightPicture = sizes.RightPicture;
    ResultPicture = sizes.ResultPicture;
    if (record.Kind == ProjectKind::Mesh)
        FillView(record.Mesh.View, sizes);
    else
        FillView(record.Node.View, sizes);
    FillKind(record);
    ShowFirstPage(EDStarPictWidt);
    SetTarget(&record);
}

template <class View>
bool TEnviForm::StoreView(View& view)
{
    bool failed = false;
    if (!ReadIntegers({{EDStarPictWidt, &view.LeftPaneWidth},
                       {EDStarPictHeig, &view.LeftPaneHeight},
                       {EDEnd_PictWidt, &view.RightPaneWidth},
                       {EDEnd_PictHeig, &view.RightPaneHeight},
                       {EDResuPictWidt, &view.ResultWidth},
                       {EDResuPictHeig, &view.ResultHeight}})) {
        ShowErrorBox(1, kBadInteger);
        failed = true;
    }
    std::optional<double> zoom = ReadReal48(EDZoomIn__->text());
    if (zoom) {
        view.ZoomInFactor.Set(*zoom);
        zoom = ReadReal48(EDZoomOut_->text());
        if (zoom)
            view.ZoomOutFactor.Set(*zoom);
    }
    if (!zoom) {
        ShowErrorBox(1, kBadReal);
        failed = true;
    }
    if (view.LeftPaneWidth < kLeastPictureSize || view.RightPaneWidth < kLeastPictureSize ||
        view.ResultWidth < kLeastPictureSize) {
        ShowErrorBox(1, WidthMessage());
        failed = true;
    }
    if (view.LeftPaneHeight < kLeastPictureSize || view.RightPaneHeight < kLeastPictureSize ||
        view.ResultHeight < kLeastPictureSize) {
        ShowErrorBox(1, HeightMessage());
        failed = true;
    }
    if (!(view.ZoomInFactor.Get() > 0) || !(view.ZoomOutFactor.Get() > 0)) {
        ShowErrorBox(1, kZoomMessage);
        failed = true;
    }
    Quality.Read(view.ZoomQuality);
    view.PointSize = SEPoinSize->value();
    view.FitLeft = CBFit_Star->isChecked() ? 1 : 0;
    view.FitRight = CBFit_End_->isChecked() ? 1 : 0;
    return failed;
}

bool TEnviForm::Store(ProjectRecord& record)
{
    const bool failed = record.Kind == ProjectKind::Mesh ? StoreView(record.Mesh.View) : StoreView(record.Node.View);
    StoreKind(record);
    return failed;
}

TMeshEnviForm::TMeshEnviForm(QWidget* parent) : TEnviForm(parent, QStringLiteral(" Show "))
{
    setObjectName(QStringLiteral("MeshEnviForm"));
    // It stays above the other windows while it is open.
    setWindowFlag(Qt::WindowStaysOnTopHint);
    CBLine = NewCheck("CBLine", QStringLiteral("&Lines"), ShowGroup);
    CBSpli = NewCheck("CBSpli", QStringLiteral("S&plines"), ShowGroup);
    ShowGroup->layout()->addWidget(CBLine);
    ShowGroup->layout()->addWidget(CBSpli);

    QVBoxLayout* colors = AddPage(QStringLiteral("Colors"));
    SHLine = AddColourRow(colors, QStringLiteral("&Line:"), "SHLine", "BTChanLine", BTChanLine);
    SHSpli = AddColourRow(colors, QStringLiteral("&Spline:"), "SHSpli", "BTChanSpli", BTChanSpli);
    SHPoin = AddColourRow(colors, QStringLiteral("&Point:"), "SHPoin", "BTChanPoin", BTChanPoin);
    colors->addStretch();

    QVBoxLayout* general = AddPage(QStringLiteral("General"));
    auto* quality = new QGroupBox(QStringLiteral(" Spline quality "));
    SESegmNumb = NewSpin("SESegmNumb", 2, 100, quality);
    auto* qualityLayout = new QHBoxLayout(quality);
    qualityLayout->addWidget(NewLabel(QStringLiteral("N&umber of line segments"), SESegmNumb, quality));
    qualityLayout->addWidget(SESegmNumb);
    qualityLayout->addStretch();
    general->addWidget(quality);
    general->addWidget(PointSizeGroup());
    general->addWidget(ZoomingGroup());
    general->addStretch();
}

void TMeshEnviForm::FillKind(const ProjectRecord& record)
{
    const MeshViewSettings& v = record.Mesh.View;
    CBLine->setChecked(v.ShowLines != 0);
    CBSpli->setChecked(v.ShowSplines != 0);
    SHLine->SetColour(v.LineColour);
    SHSpli->SetColour(v.SplineColour);
    SHPoin->SetColour(v.PointColour);
    SESegmNumb->setValue(v.SplineSegments);
}

void TMeshEnviForm::StoreKind(ProjectRecord& record)
{
    MeshViewSettings& v = record.Mesh.View;
    v.LineColour = SHLine->Colour();
    v.SplineColour = SHSpli->Colour();
    v.PointColour = SHPoin->Colour();
    v.SplineSegments = SESegmNumb->value();
    v.ShowLines = CBLine->isChecked() ? 1 : 0;
    v.ShowSplines = CBSpli->isChecked() ? 1 : 0;
}

TNodeEnviForm::TNodeEnviForm(QWidget* parent) : TEnviForm(parent, QStringLiteral(" Show: "))
{
    setObjectName(QStringLiteral("NodeEnviForm"));
    CBPoin = NewCheck("CBPoin", QStringLiteral("&Points"), ShowGroup);
    CBRadi = NewCheck("CBRadi", QStringLiteral("S&how radii"), ShowGroup);
    ShowGroup->layout()->addWidget(CBPoin);
    ShowGroup->layout()->addWidget(CBRadi);

    QVBoxLayout* colors = AddPage(QStringLiteral("Colors"));
    SHPoin = AddColourRow(colors, QStringLiteral("&Point:"), "SHPoin", "BTChanPoin", BTChanPoin);
    SHSele = AddColourRow(colors, QStringLiteral("&Selected point:"), "SHSele", "BTChanSele", BTChanSele);
    colors->addStretch();

    QVBoxLayout* general = AddPage(QStringLiteral("General"));
    general->addWidget(ZoomingGroup());
    general->addWidget(PointSizeGroup());
    general->addStretch();
}

void TNodeEnviForm::FillKind(const ProjectRecord& record)
{
    const NodeViewSettings& v = record.Node.View;
    CBPoin->setChecked(v.ShowPoints != 0);
    CBRadi->setChecked(v.ShowRadii != 0);
    SHPoin->SetColour(v.PointColour);
    SHSele->SetColour(v.SelectedColour);
}

void TNodeEnviForm::StoreKind(ProjectRecord& record)
{
    NodeViewSettings& v = record.Node.View;
    v.PointColour = SHPoin->Colour();
    v.SelectedColour = SHSele->Colour();
    v.ShowPoints = CBPoin->isChecked() ? 1 : 0;
    v.ShowRadii = CBRadi->isChecked() ? 1 : 0;
}
