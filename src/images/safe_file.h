// Files written without risk to the previous file (a temporary file in the
// target's folder, renamed over the target when complete) and files read
// only when they are plain files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
    ~AtomicFileWriter() { Abort(); }

    // Creates the temporary file beside target; false when that fails. A
    // target that is a device or a named pipe is written in place, since
    // nothing may be renamed over it; a symbolic link is followed, so the
    // link stays and the file it names is replaced.
    bool Open(const std::string& target);
    // Writes n bytes; false (and the writer is spoiled) when not all were written.
    bool Write(const void* data, size_t n);
    // Flushes, closes and renames over the target (after syncing the data
    // to the disk when sync is set); false on any failure, in which case
    // the temporary file is removed and the target is untouched.
    bool Commit(bool sync = true);
    // Lets the system begin writing what has reached the file to the disk,
    // without waiting for it, so that a sync at the end of a run finds
    // little left to do. Changes nothing in the file.
    void StartWriteback();
    // Closes and keeps the temporary file under a free name beside the
    // target, made from it with ".partial" before the extension; returns
    // that name ("" when it could not be kept, the file then removed).
    std::string CommitAside();
    // Removes the temporary file; the target is untouched.
    void Abort();

    std::FILE* Stream() const { return File; }
    const std::string& TempName() const { return Temp; }
    // Whether a file was in the target's place when Open was called.
    bool TargetExisted() const { return Existed; }
    // Whether the bytes go straight into the target (a device).
    bool InPlace() const { return Direct; }
    // A write routine that fails on demand: the write after `bytes` more
    // bytes fails as on a full disk (-1: never). For the tests.
    static void FailWritesAfter(int64_t bytes);

private:
    std::string Target;
    std::string Temp;
    std::FILE* File = nullptr;
    bool Failed = false;
    bool Existed = false;
    bool Direct = false;
};

// Brings everything written on the file system that holds fileName's folder
// to the disk (one sync for a whole sequence of frames). Best effort, like
// the folder sync of a commit: a failure here changes no file.
void SyncFolderOf(const std::string& fileName);

// True for a plain file (after following symbolic links).
bool FileExists(const std::string& name);
// True for anything by that name: file, folder, device, pipe.
bool PathExists(const std::string& name);

// What a name that exists but is no plain file is ("a folder", "a named
// pipe (FIFO)", "a device", ...); "" for a plain file or a missing name.
std::string NotAFileKind(const std::string& name);

// "<name> is <kind>, not a file".
std::string NotAFileMessage(const std::string& name, const std::string& kind);

// Opens a plain file for reading without ever blocking (a named pipe is
// refused, not waited on). Null when it fails; notAFile then holds the
// message when the name is something other than a plain file, and is empty
// when the open itself failed (missing file, no permission).
std::FILE* OpenPlainFile(const std::string& name, std::string& notAFile);

// Writes a whole file through AtomicFileWriter, synced to the disk. On
// failure shows "Error creating file: " (code 11) or "Error writing to
// file: " (code 13) + name and returns true; the previous file is then
// untouched.
bool SaveWholeFile(const std::string& fileName, const void* data, size_t n);
