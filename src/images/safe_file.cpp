#include "images/safe_file.h"

#include "images/error_box.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool AtomicFileWriter::Open(const std::string& target)
{
    Abort();
    Target = target;
    Failed = false;
    std::string tmpl = target + ".tmpXXXXXX";
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        return false;
    // mkstemp makes 0600; give the file the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    File = ::fdopen(fd, "wb");
    if (!File) {
        ::close(fd);
        ::unlink(tmpl.c_str());
        return false;
    }
    Temp = tmpl;
    return true;
}

bool AtomicFileWriter::Write(const void* data, size_t n)
{
    if (!File || Failed)
        return false;
    if (n != 0 && std::fwrite(data, 1, n, File) != n)
        Failed = true;
    return !Failed;
}

bool AtomicFileWriter::Commit()
{
    if (!File)
        return false;
    bool ok = !Failed && std::fflush(File) == 0 && ::fsync(::fileno(File)) == 0;
    ok = (std::fclose(File) == 0) && ok;
    File = nullptr;
    if (ok)
        ok = std::rename(Temp.c_str(), Target.c_str()) == 0;
    if (!ok)
        ::unlink(Temp.c_str());
    Temp.clear();
    return ok;
}

void AtomicFileWriter::Abort()
{
    if (File) {
        std::fclose(File);
        File = nullptr;
    }
    if (!Temp.empty()) {
        ::unlink(Temp.c_str());
        Temp.clear();
    }
}

bool FileExists(const std::string& name)
{
    struct stat st;
    return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool SaveWholeFile(const std::string& fileName, const void* data, size_t n)
{
    AtomicFileWriter writer;
    if (!writer.Open(fileName)) {
        ShowErrorBox(11, "Error creating file: " + fileName);
        return true;
    }
    if (!writer.Write(data, n) || !writer.Commit()) {
        writer.Abort();
        ShowErrorBox(13, "Error writing to file: " + fileName);
        return true;
    }
    return false;
}
