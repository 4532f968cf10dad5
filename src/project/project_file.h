// Reading and writing ".prj" files: a 30-byte header naming the kind, then
// the project record byte for byte.
#pragma once

#include <string>

#include "project/project_record.h"

// Lower-case extension of a file name including the dot ("" when none).
std::string LowerExtension(const std::string& fileName);

// Reads a project file by its header. On failure shows the message and
// returns true: code 9 (wrong extension), 10 (unknown header), 11 (cannot
// open), 12 (too short); record is then unchanged.
bool ReadProjectFile(const std::string& fileName, ProjectRecord& record);

// Writes header and record; true on failure (message shown). The previous
// file survives any failure.
bool SaveProj(const std::string& fileName, const ProjectRecord& record);
