// Row conversions between the red-green-blue order of the PNG library and
// the blue-green-red rows of a picture. Each has a plain loop and a vector
// one chosen where the processor has SSSE3; both give the same bytes.
#pragma once

#include <cstdint>

// width pixels of red, green, blue to blue, green, red (or back).
void SwapRedBlue(const uint8_t* src, uint8_t* dst, int32_t width);
void SwapRedBluePlain(const uint8_t* src, uint8_t* dst, int32_t width);

// width pixels of red, green, blue, alpha (8 bits each) composited over
// black to blue, green, red: each colour becomes Round(c * a / 255).
void RgbaOverBlack(const uint8_t* src, uint8_t* dst, int32_t width);
void RgbaOverBlackPlain(const uint8_t* src, uint8_t* dst, int32_t width);

// The same for 16-bit samples (host order), rounded to 8 bits:
// Round(c * a * 255 / 65535^2).
void Rgba16OverBlack(const uint16_t* src, uint8_t* dst, int32_t width);
