// Shared body of the picture reader fuzz entry points: the input becomes a
// file with the reader's extension and goes through LoadPictureFile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "images/error_box.h"
#include "images/picture_file.h"
#include "images/raster_image.h"

inline int FuzzPictureFile(const uint8_t* data, size_t size, const char* extension)
{
    static const std::string name = [extension] {
        SetErrorBoxHook([](const ErrorBoxMessage&) {});
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(dir) + "/qv-fuzz-" + std::to_string(getpid()) + extension;
    }();
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    uint8_t* dib = LoadPictureFile(name);
    if (dib) {
        // Touch the whole picture so that a short block shows up.
        const DibDimensions d = DibSize(dib);
        const int64_t bytes = DibImageBytes(d.Width, d.Height, 24);
        unsigned sum = 0;
        for (int64_t i = 0; i < bytes; i += 97)
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
