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

namespace {
// A name holding a zero byte or another control character would be cut
// short or name a file nobody meant; no dialog can enter one.
bool HoldsControlCharacter(const ShortName& name)
{
    for (uint8_t i = 0; i < name.Length; ++i) {
        const auto c = static_cast<unsigned char>(name.Text[i]);
        if (c < 0x20 || c == 0x7F)
            return true;
    }
    return false;
}

bool NamesAreText(const ProjectRecord& r)
{
    const ProjectCommon& c = r.Common();
    const ShortName* names[] = {
        &c.LeftPicture, &c.RightPicture, &c.LeftDefs, &c.RightDefs,
        r.Kind == ProjectKind::Mesh ? &r.Mesh.Morph.OutputPath : &r.Node.Morph.OutputPath,
        r.Kind == ProjectKind::Mesh ? &r.Mesh.Morph.OutputPrefix : &r.Node.Morph.OutputPrefix,
    };
    for (const ShortName* n : names)
        if (HoldsControlCharacter(*n))
            return false;
    return true;
}
}  // namespace

bool ReadProjectFile(const std::string& fileName, ProjectRecord& record)
{
    if (const std::string kind = NotAFileKind(fileName); !kind.empty()) {
        ShowErrorBox(11, NotAFileMessage(fileName, kind));
        return true;
    }
    if (LowerExtension(fileName) != ".prj") {
        ShowErrorBox(9, "A project file name ends in \".prj\": " + fileName);
        return true;
    }
    std::string why;
    std::FILE* f = OpenPlainFile(fileName, why);
    if (!f) {
        if (why.empty())
            ShowErrorBox(11, "Error opening file " + fileName);
        else
            ShowErrorBox(11, why);
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
    if (shortFile || !NamesAreText(read)) {
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
