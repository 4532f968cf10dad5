#include "test_support.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sys/wait.h>

#include <gtest/gtest.h>
#include <tbb/global_control.h>
#include <tbb/task_arena.h>

ErrorCapture::ErrorCapture()
{
    PreviousError = SetErrorBoxHook([this](const ErrorBoxMessage& m) {
        Messages.push_back(m);
        OffThread += std::this_thread::get_id() != Owner;
    });
    PreviousBeep = SetBeepHook([this] {
        ++Beeps;
        OffThread += std::this_thread::get_id() != Owner;
    });
}

void WithThreads(int threads, const std::function<void()>& f)
{
    tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                              static_cast<size_t>(threads));
    tbb::task_arena arena(threads);
    arena.execute([&] {
        ASSERT_EQ(tbb::this_task_arena::max_concurrency(), threads);
        f();
    });
}

ErrorCapture::~ErrorCapture()
{
    SetErrorBoxHook(PreviousError);
    SetBeepHook(PreviousBeep);
}

TempDir::TempDir()
{
    std::random_device rd;
    Dir = std::filesystem::temp_directory_path() /
          ("quorvix-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(Dir);
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::permissions(Dir, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(Dir, ec);
}

std::vector<uint8_t> ReadAll(const std::string& fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& fileName, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

int RunCommand(const std::string& command, std::string* output)
{
    std::FILE* p = ::popen(command.c_str(), "r");
    if (!p)
        return -1;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        if (output)
            output->append(buf.data(), n);
    const int status = ::pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string BinDir()
{
    const char* env = std::getenv("QV_BIN_DIR");
    return env ? env : QV_BIN_DIR;
}

std::string FixturesDir()
{
    const char* env = std::getenv("QV_FIXTURES");
    return env ? env : QV_FIXTURES;
}

std::vector<std::string> SortedFileNames(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
