#include "images/safe_file.h"

#include "images/error_box.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
int64_t g_failAfter = -1;  // bytes until a write fails; -1 never

// The stream of a writer armed by FailWritesAfter: a write past the budget
// fails with "no space left", as on a full disk.
ssize_t BudgetWrite(void* cookie, const char* buf, size_t n)
{
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(cookie));
    if (g_failAfter >= 0 && static_cast<int64_t>(n) > g_failAfter) {
        errno = ENOSPC;
        return -1;
    }
    const ssize_t done = ::write(fd, buf, n);
    if (done > 0 && g_failAfter >= 0)
        g_failAfter -= done;
    return done;
}

int BudgetSeek(void* cookie, off64_t* at, int whence)
{
    const off64_t to = ::lseek64(static_cast<int>(reinterpret_cast<intptr_t>(cookie)), *at, whence);
    if (to < 0)
        return -1;
    *at = to;
    return 0;
}

int BudgetClose(void* cookie) { return ::close(static_cast<int>(reinterpret_cast<intptr_t>(cookie))); }

std::FILE* StreamOf(int fd)
{
    if (g_failAfter < 0)
        return ::fdopen(fd, "wb");
    cookie_io_functions_t io{};
    io.write = BudgetWrite;
    io.seek = BudgetSeek;
    io.close = BudgetClose;
    return ::fopencookie(reinterpret_cast<void*>(static_cast<intptr_t>(fd)), "wb", io);
}

// The file a name finally stands for: symbolic links followed.
std::string Resolved(const std::string& name)
{
    struct stat st;
    if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return name;
    char buf[PATH_MAX];
    return ::realpath(name.c_str(), buf) ? std::string(buf) : name;
}

std::string KindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a named pipe (FIFO)";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a plain file";
}
}  // namespace

void AtomicFileWriter::FailWritesAfter(int64_t bytes) { g_failAfter = bytes; }

bool AtomicFileWriter::Open(const std::string& target)
{
    Abort();
    Target = Resolved(target);
    Failed = false;
    struct stat st;
    Existed = ::stat(Target.c_str(), &st) == 0;
    // A folder in the way is left to the rename to refuse.
    Direct = Existed && (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) || S_ISFIFO(st.st_mode));
    if (Direct) {
        // Non-blocking, so that a pipe nobody reads is refused at once.
        const int fd = ::open(Target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return false;
        File = StreamOf(fd);
        if (!File)
            ::close(fd);
        return File != nullptr;
    }
    // A file its owner made read-only is not replaced behind its back.
    if (Existed && ::access(Target.c_str(), W_OK) != 0)
        return false;
    std::string tmpl = Target + ".tmpXXXXXX";
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    // mkstemp makes 0600; a replaced file keeps its permissions, a new one
    // gets the usual ones.
    mode_t mode;
    if (Existed) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    File = StreamOf(fd);
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

namespace {
// The folder that holds name, opened for syncing; -1 when it cannot be.
int OpenFolderOf(const std::string& name)
{
    const size_t slash = name.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : name.substr(0, slash + 1);
    return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}
}  // namespace

void AtomicFileWriter::StartWriteback()
{
    const int fd = File ? ::fileno(File) : -1;  // -1 for the writer that fails on demand
    if (fd >= 0 && !Direct)
        ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool AtomicFileWriter::Commit(bool sync)
{
    if (!File)
        return false;
    bool ok = !Failed && std::fflush(File) == 0 && std::ferror(File) == 0;
    if (ok && !sync)
        StartWriteback();
    if (ok && sync && !Direct)
        ok = ::fsync(::fileno(File)) == 0;
    ok = (std::fclose(File) == 0) && ok;
    File = nullptr;
    if (Direct)
        return ok;
    if (ok)
        ok = std::rename(Temp.c_str(), Target.c_str()) == 0;
    if (!ok)
        ::unlink(Temp.c_str());
    if (ok && sync) {
        // The rename itself reaches the disk with its folder.
        const int dir = OpenFolderOf(Target);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }
    Temp.clear();
    return ok;
}

void SyncFolderOf(const std::string& fileName)
{
    const int dir = OpenFolderOf(fileName);
    if (dir < 0)
        return;
    ::syncfs(dir);
    ::close(dir);
}

std::string AtomicFileWriter::CommitAside()
{
    if (!File || Direct) {
        Abort();
        return "";
    }
    bool ok = std::fflush(File) == 0;
    ok = (std::fclose(File) == 0) && ok;
    File = nullptr;
    const size_t slash = Target.find_last_of('/');
    const size_t dot = Target.find_last_of('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string stem = hasExt ? Target.substr(0, dot) : Target;
    const std::string ext = hasExt ? Target.substr(dot) : "";
    std::string kept;
    // link() never replaces a file, so no other file is lost to the name.
    for (int i = 1; ok && i <= 100 && kept.empty(); ++i) {
        const std::string name = stem + ".partial" + (i == 1 ? "" : std::to_string(i)) + ext;
        if (::link(Temp.c_str(), name.c_str()) == 0)
            kept = name;
        else if (errno != EEXIST)
            break;
    }
    ::unlink(Temp.c_str());
    Temp.clear();
    return kept;
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

bool PathExists(const std::string& name)
{
    struct stat st;
    return ::stat(name.c_str(), &st) == 0;
}

std::string NotAFileKind(const std::string& name)
{
    struct stat st;
    if (::stat(name.c_str(), &st) != 0 || S_ISREG(st.st_mode))
        return "";
    return KindOf(st.st_mode);
}

std::string NotAFileMessage(const std::string& name, const std::string& kind)
{
    return name + " is " + kind + ", not a file";
}

std::FILE* OpenPlainFile(const std::string& name, std::string& notAFile)
{
    notAFile.clear();
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (const std::string kind = NotAFileKind(name); !kind.empty())
            notAFile = NotAFileMessage(name, kind);
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        notAFile = NotAFileMessage(name, ::fstat(fd, &st) == 0 ? KindOf(st.st_mode) : "not readable");
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f)
        ::close(fd);
    return f;
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
