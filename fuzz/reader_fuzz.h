// Shared setup of the fuzz entry points: messages are dropped, and the input
// becomes a file with the reader's extension (in /dev/shm when it can).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "images/error_box.h"

// Writes the input to this process's fuzz file; "" when it cannot.
inline std::string FuzzInputFile(const uint8_t* data, size_t size, const char* extension)
{
    static const std::string name = [extension] {
        SetErrorBoxHook([](const ErrorBoxMessage&) {});
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(dir) + "/qv-fuzz-" + std::to_string(getpid()) + extension;
    }();
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (!f)
        return "";
    const bool ok = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !ok)
        return "";
    return name;
}
