#include "project/project_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "images/error_box.h"
#include "images/safe_file.h"

std::string LowerExtension(const std::string& fileName)
{
    const size_t slash = fileName.find_last_of("/\\");
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    std::string ext = fileName.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

bool ReadProjectFile(const std::string& fileName, ProjectRecord& record)
{
    if (LowerExtension(fileName) != ".prj") {
        ShowErrorBox(9, "");
        return true;
    }
    std::FILE* f = std::fopen(fileName.c_str(), "rb");
    if (!f) {
        ShowErrorBox(11, "Error opening file " + fileName);
        return true;
    }
    char header[kProjectHeaderBytes + 1] = {};
    const size_t got = std::fread(header, 1, kProjectHeaderBytes, f);
    ProjectKind kind;
    if (std::strcmp(header, ProjectMagic(ProjectKind::Mesh)) == 0) {
        kind = ProjectKind::Mesh;
    } else if (std::strcmp(header, ProjectMagic(ProjectKind::Node)) == 0) {
        kind = ProjectKind::Node;
    } else {
        std::fclose(f);
        ShowErrorBox(10, "Unkwown type of file " + fileName);
        return true;
    }
    ProjectRecord read;
    read.Kind = kind;
    const size_t want = read.Size();
    const bool shortFile = got != kProjectHeaderBytes || std::fread(read.Bytes, 1, want, f) != want;
    std::fclose(f);
    if (shortFile) {
        ShowErrorBox(12, "Error reading from file: " + fileName);
        return true;
    }
    record = read;
    return false;
}

bool SaveProj(const std::string& fileName, const ProjectRecord& record)
{
    char header[kProjectHeaderBytes] = {};
    std::memcpy(header, ProjectMagic(record.Kind), 17);
    AtomicFileWriter out;
    if (!out.Open(fileName)) {
        ShowErrorBox(11, (record.Kind == ProjectKind::Mesh ? "Error creating file: " : "Error opening file: ") +
                             fileName);
        return true;
    }
    if (!out.Write(header, sizeof header) || !out.Write(record.Bytes, record.Size()) || !out.Commit()) {
        out.Abort();
        ShowErrorBox(13, "Error writing to file: " + fileName);
        return true;
    }
    return false;
}
