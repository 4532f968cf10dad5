// libFuzzer entry point for the project file reader (make fuzz): the record
// read is also checked the way the renderer uses it.
#include <cstdio>

#include "mesh/mesh_frame.h"
#include "project/project_file.h"
#include "project/project_material.h"
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string name = FuzzInputFile(data, size, ".prj");
    if (name.empty())
        return 0;
    ProjectRecord record;
    if (!ReadProjectFile(name, record)) {
        const ProjectCommon& c = record.Common();
        // Names are looked for beside the project: only names, no reading.
        LocateProjectFile(c.LeftPicture.Get(), name);
        LocateProjectFile(c.RightDefs.Get(), name);
        const bool mesh = record.Kind == ProjectKind::Mesh;
        const std::string base = OutputFileBase(mesh ? record.Mesh.Morph.OutputPath.Get() : record.Node.Morph.OutputPath.Get(),
                                                mesh ? record.Mesh.Morph.OutputPrefix.Get() : record.Node.Morph.OutputPrefix.Get());
        const uint8_t type = mesh ? record.Mesh.Morph.OutputType : record.Node.Morph.OutputType;
        if (IsOutputKind(type))
            RefuseOutput(base, static_cast<OutputKind>(type), mesh ? record.Mesh.Morph.ResultWidth : record.Node.Morph.ResultWidth,
                         mesh ? record.Mesh.Morph.ResultHeight : record.Node.Morph.ResultHeight);
    }
    std::remove(name.c_str());
    return 0;
}
