#include "cli/cli_hooks.h"

#include <cstdio>
#include <exception>
#include <new>
#include <unistd.h>

#include "images/error_box.h"
#include "images/progress.h"

namespace {
int g_errors = 0;

// A one-line percentage on a terminal; nothing when stderr is redirected.
class TerminalProgress : public ProgressDisplay {
public:
    void ProgressBegun() override { Shown = false; }
    void ProgressChanged(int percent) override
    {
        std::fprintf(stderr, "\r%3d%%", percent);
        std::fflush(stderr);
        Shown = true;
    }
    void ProgressEnded() override
    {
        if (Shown)
            std::fputs("\r    \r", stderr);
        Shown = false;
    }

private:
    bool Shown = false;
};

TerminalProgress g_progress;
}  // namespace

void InstallCliHooks(bool quiet)
{
    g_errors = 0;
    SetErrorBoxHook([](const ErrorBoxMessage& m) {
        ++g_errors;
        std::fprintf(stderr, "%s\n", m.Text.c_str());
    });
    SetErrorRepeatHook([](const ErrorBoxMessage& m, int times) {
        std::fprintf(stderr, "(the message \"%s\" came %d times)\n", m.Text.c_str(), times);
    });
    SetBeepHook([] {});
    SetProgressDisplay(!quiet && ::isatty(STDERR_FILENO) ? &g_progress : nullptr);
}

int CliErrorCount() { return g_errors; }

void CliMessage(const std::string& program, const std::string& text)
{
    std::fprintf(stderr, "%s: %s\n", program.c_str(), text.c_str());
}

int RunCliTool(const std::string& program, int (*run)(int, char**), int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        ShowErrorBox(8, "Not Enought memory");
        return 1;
    } catch (const std::exception& e) {
        CliMessage(program, e.what());
        return 1;
    }
}
