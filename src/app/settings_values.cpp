#include "app/settings_values.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <limits>

#include "numerics/real48.h"

std::string WidthMessage() { return "Width of image must be greater then " + std::to_string(kLeastPictureSize) + "."; }

std::string HeightMessage()
{
    return "Height of image must be greater then " + std::to_string(kLeastPictureSize) + ".";
}

std::string HeigthFieldMessage()
{
    return "Heigth of image must be greater then " + std::to_string(kLeastPictureSize) + ".";
}

std::optional<int32_t> ReadInteger(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^\\s*[+-]?\\d+\\s*$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    if (!ok || value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(value);
}

std::optional<double> ReadReal48(const QString& text)
{
    // No "inf", "nan" or hexadecimal forms: only what a person types.
    static const QRegularExpression form(QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?\\s*$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    double rounded;
    if (!ok || !std::isfinite(value) || !TryRoundReal48(value, rounded))
        return std::nullopt;
    return rounded;
}

QString RealText(double value) { return QString::number(value, 'g', 15); }

TypedSize RatioFit(int32_t pictureWidth, int32_t pictureHeight, TypedSize typed)
{
    if (pictureWidth <= 0 || pictureHeight <= 0 || typed.Height == 0)
        return typed;
    const double r = RoundReal48(static_cast<double>(pictureWidth) / pictureHeight);
    const double q = RoundReal48(static_cast<double>(typed.Width) / static_cast<double>(typed.Height));
    if (q < r)
        typed.Height = static_cast<int64_t>(std::nearbyint(static_cast<double>(typed.Width) / r));
    else
        typed.Width = static_cast<int64_t>(std::nearbyint(r * static_cast<double>(typed.Height)));
    return typed;
}
