// Saving without risk to the previous file: write a temporary file in the
// target's folder, then rename it over the target.
#pragma once

#include <cstdio>
#include <string>

class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
    ~AtomicFileWriter() { Abort(); }

    // Creates the temporary file beside target; false when that fails.
    bool Open(const std::string& target);
    // Writes n bytes; false (and the writer is spoiled) when not all were written.
    bool Write(const void* data, size_t n);
    // Flushes, closes and renames over the target; false on any failure, in
    // which case the temporary file is removed and the target is untouched.
    bool Commit();
    // Removes the temporary file; the target is untouched.
    void Abort();

    std::FILE* Stream() const { return File; }
    const std::string& TempName() const { return Temp; }

private:
    std::string Target;
    std::string Temp;
    std::FILE* File = nullptr;
    bool Failed = false;
};

bool FileExists(const std::string& name);

// Writes a whole file through AtomicFileWriter. On failure shows "Error
// creating file: " (code 11) or "Error writing to file: " (code 13) + name
// and returns true; the previous file is then untouched.
bool SaveWholeFile(const std::string& fileName, const void* data, size_t n);
