#include "app/program_folder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {
QString g_programFolder;
}  // namespace

QString ProgramFolder() { return g_programFolder; }

void SetProgramFolder(const QString& folder) { g_programFolder = folder.isEmpty() ? folder : WithSeparator(folder); }

void CaptureProgramFolder() { SetProgramFolder(QCoreApplication::applicationDirPath()); }

QString ApplicationTitle()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString WithSeparator(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

std::string ToNativePath(const QString& fileName) { return QFile::encodeName(fileName).toStdString(); }

QString FromNativePath(const std::string& fileName)
{
    return QFile::decodeName(QByteArray::fromStdString(fileName));
}
