// Program-wide folder and title of the running workstation.
#pragma once

#include <QString>
#include <string>

// Folder of the program file, ending with "/". Empty until captured.
QString ProgramFolder();
void SetProgramFolder(const QString& folder);
// Captures the folder of the running executable.
void CaptureProgramFolder();

// The application title: the program file's name without extension.
QString ApplicationTitle();

// Appends "/" unless the text already ends with one.
QString WithSeparator(const QString& folder);

// File names between Qt and the core (which takes byte strings).
std::string ToNativePath(const QString& fileName);
QString FromNativePath(const std::string& fileName);
