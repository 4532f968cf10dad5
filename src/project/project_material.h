// Finding and loading what a project names: its two pictures and its two
// definition files. Names are used as stored; one that does not exist is
// looked for by its file name in the project file's folder, so that a project
// folder can be moved or come from another machine.
#pragma once

#include <string>

#include "project/project_record.h"

class RasterImage;
class TMeshDefsData;
class TNodeDefsData;

// The file a project names as stored: an absolute name as it is, a relative
// one in the project file's folder, then in the current folder; failing
// those, its file name (the part after the last "/" or "\") in the project
// file's folder. "" when none of them exists.
std::string LocateProjectFile(const std::string& stored, const std::string& projectFile);

struct ProjectFiles {
    std::string LeftPicture, RightPicture, LeftDefs, RightDefs;
};

// Finds every file the project names; each missing one is an error naming it
// (code 14). Returns true when all four were found.
bool LocateProjectFiles(const ProjectCommon& common, const std::string& projectFile, ProjectFiles& files);

// Loads both pictures; false (message shown) when one does not load.
bool LoadProjectPictures(const ProjectFiles& files, RasterImage& left, RasterImage& right);
// Loads both definition files, the right one checked against the left one's
// size; false (message shown) on any failure.
bool LoadProjectMeshes(const ProjectFiles& files, TMeshDefsData& left, TMeshDefsData& right);
bool LoadProjectNodes(const ProjectFiles& files, TNodeDefsData& left, TNodeDefsData& right);
