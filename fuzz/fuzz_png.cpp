// libFuzzer entry point for the PNG reader (make fuzz).
#include "picture_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzPictureFile(data, size, ".png");
}
