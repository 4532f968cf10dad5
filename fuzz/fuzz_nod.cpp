// libFuzzer entry point for the node definition file reader (make fuzz):
// read once freely, then again as the partner of a set of that count.
#include <cstdio>

#include "node/node_defs.h"
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string name = FuzzInputFile(data, size, ".msh");
    if (name.empty())
        return 0;
    TNodeDefsData left;
    if (!left.LoadFromFile(name, false)) {
        TNodeDefsData right(left.Count);
        right.LoadFromFile(name, true);
    }
    std::remove(name.c_str());
    return 0;
}
