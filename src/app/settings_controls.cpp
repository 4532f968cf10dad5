#include "app/settings_controls.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/settings_values.h"
#include "images/error_box.h"

TSettingsDialog::TSettingsDialog(QWidget* parent) : QDialog(parent)
{
    setModal(true);
    // A fixed frame: no maximise or minimise box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    Tabs = new QTabWidget(this);
    Tabs->setObjectName(QStringLiteral("PageControl1"));
    QHBoxLayout* buttons = NewOKCancelRow(this, BTOK, BTCancel);
    connect(BTOK, &QPushButton::clicked, this, &TSettingsDialog::OKClick);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Tabs);
    layout->addLayout(buttons);
    // The dialogs keep the size their contents need.
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QVBoxLayout* TSettingsDialog::AddPage(const QString& title)
{
    auto* page = new QWidget(Tabs);
    auto* layout = new QVBoxLayout(page);
    Tabs->addTab(page, title);
    return layout;
}

void TSettingsDialog::ShowFirstPage(QLineEdit* first)
{
    Tabs->setCurrentIndex(0);
    first->setFocus();
    first->selectAll();
}

void TSettingsDialog::OKClick()
{
    if (!Target)
        return;
    const bool failed = Store(*Target);
    if (AfterEveryOK)
        AfterEveryOK();
    // After a failed check the dialog stays, with the controls as they are.
    if (!failed)
        accept();
}

TColourShape::TColourShape(const char* name, QWidget* parent) : QFrame(parent)
{
    setObjectName(QString::fromLatin1(name));
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setFixedSize(65, 22);
}

void TColourShape::SetColour(uint32_t colour)
{
    // Kept as it came, so that OK stores back what the record held.
    Value = colour;
    update();
}

void TColourShape::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(Value & 0xFF, (Value >> 8) & 0xFF, (Value >> 16) & 0xFF));
    painter.end();
    QFrame::paintEvent(event);
}

TRadioChoice::TRadioChoice(QObject* owner) : Group(new QButtonGroup(owner)) {}

void TRadioChoice::Add(QAbstractButton* button, uint8_t value) { Group->addButton(button, value); }

void TRadioChoice::Fill(uint8_t value)
{
    if (QAbstractButton* button = Group->button(value)) {
        button->setChecked(true);
        return;
    }
    // An exclusive group keeps one button checked unless told otherwise.
    Group->setExclusive(false);
    for (QAbstractButton* b : Group->buttons())
        b->setChecked(false);
    Group->setExclusive(true);
}

void TRadioChoice::Read(uint8_t& value) const
{
    const int id = Group->checkedId();
    if (id >= 0)
        value = static_cast<uint8_t>(id);
}

namespace {

// The focus leaves for another control of the same window (Tab, a click, a
// mnemonic), not because another window or a popup took it.
bool LeftForAnotherControl(const QEvent* event)
{
    if (event->type() != QEvent::FocusOut)
        return false;
    switch (static_cast<const QFocusEvent*>(event)->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::MouseFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason:
        return true;
    default:
        return false;
    }
}

class TFieldCheck : public QObject {
public:
    TFieldCheck(QLineEdit* edit, std::function<void(QLineEdit*)> check) : QObject(edit), Check(std::move(check))
    {
        edit->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (LeftForAnotherControl(event))
            Check(static_cast<QLineEdit*>(watched));
        return false;
    }

private:
    std::function<void(QLineEdit*)> Check;
};

}  // namespace

void CheckIntegerWhenLeft(QLineEdit* edit, int32_t least, const std::string& message)
{
    new TFieldCheck(edit, [least, message](QLineEdit* e) {
        const std::optional<int32_t> value = ReadInteger(e->text());
        if (!value) {
            ShowErrorBox(1, kBadInteger);
            return;
        }
        if (*value < least) {
            ShowErrorBox(1, message);
            e->setText(QString::number(least));
            return;
        }
        e->setText(QString::number(*value));
    });
}

void CheckRealWhenLeft(QLineEdit* edit, std::function<bool(double)> rule, const std::string& message,
                       double replacement)
{
    new TFieldCheck(edit, [rule = std::move(rule), message, replacement](QLineEdit* e) {
        const std::optional<double> value = ReadReal48(e->text());
        if (!value) {
            ShowErrorBox(1, kBadReal);
            return;
        }
        if (!rule(*value)) {
            ShowErrorBox(1, message);
            e->setText(RealText(replacement));
            return;
        }
        e->setText(RealText(*value));
    });
}

void ConnectMatchButtons(QPushButton* image, QPushButton* ratio, QLineEdit* width, QLineEdit* height,
                         const QSize* picture)
{
    QObject::connect(image, &QPushButton::clicked, width, [=] {
        width->setText(QString::number(picture->width()));
        height->setText(QString::number(picture->height()));
    });
    QObject::connect(ratio, &QPushButton::clicked, width, [=] {
        const std::optional<int32_t> w = ReadInteger(width->text());
        const std::optional<int32_t> h = w ? ReadInteger(height->text()) : std::nullopt;
        if (!w || !h) {
            ShowErrorBox(1, kBadInteger);
            return;
        }
        const TypedSize typed{*w, *h};
        const TypedSize fitted = RatioFit(picture->width(), picture->height(), typed);
        if (fitted.Width != typed.Width)
            width->setText(QString::number(fitted.Width));
        if (fitted.Height != typed.Height)
            height->setText(QString::number(fitted.Height));
    });
}

QLineEdit* NewEdit(const char* name, QWidget* parent, int width)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setFixedWidth(width);
    return edit;
}

QPushButton* NewButton(const char* name, const QString& caption, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QLabel* NewLabel(const QString& caption, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(caption, parent);
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

QCheckBox* NewCheck(const char* name, const QString& caption, QWidget* parent)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QRadioButton* NewRadio(const char* name, const QString& caption, QWidget* parent)
{
    auto* radio = new QRadioButton(caption, parent);
    radio->setObjectName(QString::fromLatin1(name));
    return radio;
}

QSpinBox* NewSpin(const char* name, int low, int high, QWidget* parent)
{
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(low, high);
    return spin;
}

QHBoxLayout* NewOKCancelRow(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel)
{
    ok = NewButton("BTOK", QStringLiteral("&OK"), dialog);
    ok->setDefault(true);
    cancel = NewButton("BTCancel", QStringLiteral("&Cancel"), dialog);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

bool ReadIntegers(const QList<std::pair<QLineEdit*, int32_t*>>& fields)
{
    for (const auto& [edit, target] : fields) {
        const std::optional<int32_t> value = ReadInteger(edit->text());
        if (!value)
            return false;
        *target = *value;
    }
    return true;
}
