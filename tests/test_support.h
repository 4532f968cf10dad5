// Shared helpers of the core tests: a recorder for the error box and the beep,
// temporary folders, and small file utilities.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "images/error_box.h"
#include "images/progress.h"

// Records every error box shown while it lives (nothing reaches stderr).
class ErrorCapture {
public:
    ErrorCapture();
    ~ErrorCapture();
    std::vector<ErrorBoxMessage> Messages;
    int Beeps = 0;
    int OffThread = 0;  // messages and beeps from another thread than the capture's
    size_t Count() const { return Messages.size(); }
    // Text of the last message, "" when none.
    std::string LastText() const { return Messages.empty() ? "" : Messages.back().Text; }
    int LastCode() const { return Messages.empty() ? 0 : Messages.back().Code; }
private:
    ErrorBoxHook PreviousError;
    BeepHook PreviousBeep;
    std::thread::id Owner = std::this_thread::get_id();
};

// Records the progress display while it lives: every value shown, and the
// calls made from another thread than the log's.
class ProgressLog : public ProgressDisplay {
public:
    ProgressLog() : Previous(SetProgressDisplay(this)) {}
    ~ProgressLog() override { SetProgressDisplay(Previous); }
    void ProgressBegun() override { Count(); ++Begun; }
    void ProgressChanged(int percent) override { Count(); Values.push_back(percent); }
    void ProgressEnded() override { Count(); ++Ended; }
    std::vector<int> Values;
    int Begun = 0, Ended = 0, OffThread = 0;
private:
    void Count() { OffThread += std::this_thread::get_id() != Owner; }
    ProgressDisplay* Previous;
    std::thread::id Owner = std::this_thread::get_id();
};

// Runs f with oneTBB on exactly threads threads (an arena of that many slots
// under a matching limit, also beyond the number of cores).
void WithThreads(int threads, const std::function<void()>& f);

// A fresh folder under the system temp folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& Path() const { return Dir; }
    std::string File(const std::string& name) const { return (Dir / name).string(); }
private:
    std::filesystem::path Dir;
};

std::vector<uint8_t> ReadAll(const std::string& fileName);
// Names of the entries of a folder, sorted.
std::vector<std::string> SortedFileNames(const std::filesystem::path& dir);
void WriteAll(const std::string& fileName, const std::vector<uint8_t>& bytes);
// Runs a shell command; returns its exit status and fills output with stdout.
int RunCommand(const std::string& command, std::string* output = nullptr);
// Folder of the built executables (build/bin) and of the committed fixtures.
std::string BinDir();
std::string FixturesDir();
