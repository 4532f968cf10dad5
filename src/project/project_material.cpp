#include "project/project_material.h"

#include "images/error_box.h"
#include "images/picture_file.h"
#include "images/safe_file.h"
#include "mesh/mesh_defs.h"
#include "node/node_defs.h"

namespace {
std::string FolderOf(const std::string& fileName)
{
    const size_t slash = fileName.find_last_of('/');
    return slash == std::string::npos ? "" : fileName.substr(0, slash + 1);
}
}  // namespace

std::string LocateProjectFile(const std::string& stored, const std::string& projectFile)
{
    if (stored.empty())
        return "";
    const std::string folder = FolderOf(projectFile);
    if (stored[0] == '/') {
        if (PathExists(stored))
            return stored;
    } else {
        if (PathExists(folder + stored))
            return folder + stored;
        if (PathExists(stored))
            return stored;
    }
    // Names written on another machine (or before the folder moved): the
    // file name alone, whichever separator the path used.
    const size_t cut = stored.find_last_of("/\\");
    const std::string name = cut == std::string::npos ? stored : stored.substr(cut + 1);
    if (!name.empty() && PathExists(folder + name))
        return folder + name;
    return "";
}

bool LocateProjectFiles(const ProjectCommon& c, const std::string& projectFile, ProjectFiles& f)
{
    const ShortName* stored[] = {&c.LeftPicture, &c.RightPicture, &c.LeftDefs, &c.RightDefs};
    std::string* found[] = {&f.LeftPicture, &f.RightPicture, &f.LeftDefs, &f.RightDefs};
    const char* what[] = {"start picture", "end picture", "start definition file", "end definition file"};
    bool ok = true;
    for (int i = 0; i < 4; ++i) {
        const std::string name = stored[i]->Get();
        *found[i] = LocateProjectFile(name, projectFile);
        if (found[i]->empty()) {
            ShowErrorBox(14, name.empty() ? std::string("The project names no ") + what[i] + "."
                                          : "File was not found: " + name);
            ok = false;
        }
    }
    return ok;
}

bool LoadProjectPictures(const ProjectFiles& f, RasterImage& left, RasterImage& right)
{
    LoadPicture(f.LeftPicture, left);
    if (!left.Allocated)
        return false;
    LoadPicture(f.RightPicture, right);
    return right.Allocated;
}

bool LoadProjectMeshes(const ProjectFiles& f, TMeshDefsData& left, TMeshDefsData& right)
{
    if (left.LoadFromFile(f.LeftDefs, false))
        return false;
    right = TMeshDefsData(left.Cols, left.Rows);
    return !right.LoadFromFile(f.RightDefs, true);
}

bool LoadProjectNodes(const ProjectFiles& f, TNodeDefsData& left, TNodeDefsData& right)
{
    if (left.LoadFromFile(f.LeftDefs, false))
        return false;
    right = TNodeDefsData(left.Count);
    return !right.LoadFromFile(f.RightDefs, true);
}
