// Picture files: loading BMP, TGA and PCX pictures into a RasterImage and
// saving a RasterImage as BMP or TGA. The file type is chosen by extension.
// Every failure is shown through ShowErrorBox inside these routines.
#pragma once

#include <cstdint>
#include <string>

#include "images/raster_image.h"

// True for ".bmp", ".dib", ".rle", ".tga" and ".pcx" (with the dot, any case).
bool IsPictureFileType(const std::string& extension);

// Loads fileName into image (which should hold no pixel memory). On failure
// the message has been shown and image.Allocated is false.
void LoadPicture(const std::string& fileName, RasterImage& image);

// The reading step of LoadPicture: a 24-bit packed picture (free it with
// FreePackedDib), or null after a message.
uint8_t* LoadPictureFile(const std::string& fileName);

// Writes image as BMP or TGA by extension; true when it failed. PCX fails
// without a message.
bool SavePicture(const std::string& fileName, const RasterImage& image);
