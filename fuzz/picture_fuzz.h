// Shared body of the picture reader fuzz entry points: the input becomes a
// file with the reader's extension and goes through LoadPictureFile.
#pragma once

#include <cstdio>

#include "images/picture_file.h"
#include "images/raster_image.h"
#include "reader_fuzz.h"

inline int FuzzPictureFile(const uint8_t* data, size_t size, const char* extension)
{
    const std::string name = FuzzInputFile(data, size, extension);
    if (name.empty())
        return 0;
    uint8_t* dib = LoadPictureFile(name);
    if (dib) {
        // The first and the last pixel byte, and one per megabyte between:
        // a block shorter than its header says shows up under the address
        // sanitizer, and rows the file did not hold stay unmapped.
        const DibDimensions d = DibSize(dib);
        const int64_t bytes = DibImageBytes(d.Width, d.Height, 24);
        unsigned sum = 0;
        for (int64_t i = 0; i < bytes; i += int64_t{1} << 20)
            sum += dib[40 + i];
        if (bytes > 0)
            sum += dib[40 + bytes - 1];
        volatile unsigned sink = sum;
        (void)sink;
        FreePackedDib(dib);
    }
    std::remove(name.c_str());
    return 0;
}
