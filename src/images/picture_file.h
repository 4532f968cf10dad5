// Picture files: loading BMP, TGA, PCX, PNG and JPEG pictures into a
// RasterImage and saving a RasterImage as BMP, TGA or PNG. The file type is
// chosen by extension.
// Every failure is shown through ShowErrorBox inside these routines.
#pragma once

#include <cstdint>
#include <string>

#include "images/raster_image.h"

// True for ".bmp", ".dib", ".rle", ".tga", ".pcx", ".png", ".jpg" and ".jpeg"
// (with the dot, any case).
bool IsPictureFileType(const std::string& extension);

// What to tell a user who chose fileName, whose type cannot be read: the
// name and the types that can.
std::string UnreadablePictureMessage(const std::string& fileName);

// Loads fileName into image (which should hold no pixel memory). On failure
// the message has been shown and image.Allocated is false.
void LoadPicture(const std::string& fileName, RasterImage& image);

// The reading step of LoadPicture: a 24-bit packed picture (free it with
// FreePackedDib), or null after a message.
uint8_t* LoadPictureFile(const std::string& fileName);

// Refuses, before a picture is made, a width x height the type of fileName
// cannot hold (TGA: 65535 pixels a side; any: the 2 GB a picture may take
// in memory), with a message naming the file. True when refused.
bool RefusePictureSaveSize(const std::string& fileName, int64_t width, int64_t height);

// Writes image as BMP, TGA or PNG by extension; true when it failed. PCX
// fails without a message; JPEG is not written.
bool SavePicture(const std::string& fileName, const RasterImage& image);
