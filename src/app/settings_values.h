// The numbers of the settings dialogs' text fields: reading integers and
// reals as the user typed them, writing them back in normal form, the
// messages of the checks, and the "Ratio" fit of a size to a picture.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>

// Every picture size in the dialogs is at least this.
inline constexpr int32_t kLeastPictureSize = 40;

inline const char* const kBadInteger = "Bad integer number.";
inline const char* const kBadReal = "Bad real number.";
inline const char* const kZoomMessage = "Zoom factor must be greater then zero.";
inline const char* const kZoomFieldMessage = "Zoom value must be greather then zero.";
inline const char* const kFramesMessage = "There is inconsistence in frame numbers.";
inline const char* const kMiMessage = "Mi must be in interval <-1.5, 10>.";

// "Width of image must be greater then 40." and its height twin, as the OK
// checks of every dialog and the width fields say them.
std::string WidthMessage();
std::string HeightMessage();
// The height fields of the environment dialogs spell it their own way.
std::string HeigthFieldMessage();

// An integer as typed: blanks around, an optional sign, decimal digits; none
// when the text is anything else or beyond the 32-bit range.
std::optional<int32_t> ReadInteger(const QString& text);
// A decimal real (digits with an optional point and exponent), rounded to
// Real48 precision; none when the text is not such a number or the value does
// not fit a Real48.
std::optional<double> ReadReal48(const QString& text);
// General decimal form with at most 15 significant digits ("2", "0.5").
QString RealText(double value);

// The typed size of a "Ratio" row after the fit: the box keeps the picture's
// proportions and stays inside the typed size, one side is left as typed.
// Without a picture (a side of 0) or with a typed height of 0 the size stays.
struct TypedSize {
    int64_t Width;
    int64_t Height;
};
TypedSize RatioFit(int32_t pictureWidth, int32_t pictureHeight, TypedSize typed);
