// libFuzzer entry point for the mesh definition file reader (make fuzz):
// read once freely, then again as the partner of a mesh of that size.
#include <cstdio>

#include "mesh/mesh_defs.h"
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string name = FuzzInputFile(data, size, ".msh");
    if (name.empty())
        return 0;
    TMeshDefsData left(2, 2);
    if (!left.LoadFromFile(name, false)) {
        TMeshDefsData right(left.Cols, left.Rows);
        right.LoadFromFile(name, true);
    }
    std::remove(name.c_str());
    return 0;
}
