// The one error message box of the system. Core code reports every failure
// through ShowErrorBox; each front end installs a hook that shows it (a
// message box in the workstation, standard error in the command-line tools,
// a recorder in the tests).
#pragma once

#include <functional>
#include <string>
#include <vector>

struct ErrorBoxMessage {
    int Code = 0;
    std::string Caption;   // "Error", "Error." or "Warning."
    std::string Text;      // the full text shown, e.g. "Error: " + message
    bool SystemModal = false;
};

using ErrorBoxHook = std::function<void(const ErrorBoxMessage&)>;

// Installs the hook and returns the previous one. An empty hook writes to stderr.
ErrorBoxHook SetErrorBoxHook(ErrorBoxHook hook);

// Builds the caption and text that belong to a code.
ErrorBoxMessage MakeErrorBoxMessage(int code, const std::string& message);

void ShowErrorBox(int code, const std::string& message);

// One operation (a warp, a frame, a generation run) as far as messages go:
// while one lives, a message already shown in it (same code and text) is
// counted instead of shown again. When the outermost one ends, every
// message that came more than once is handed with its count to the repeat
// hook (the command-line tools print the count; a window shows nothing more).
class ErrorBoxOperation {
public:
    ErrorBoxOperation();
    ~ErrorBoxOperation();
    ErrorBoxOperation(const ErrorBoxOperation&) = delete;
    ErrorBoxOperation& operator=(const ErrorBoxOperation&) = delete;
};

using ErrorRepeatHook = std::function<void(const ErrorBoxMessage&, int times)>;
ErrorRepeatHook SetErrorRepeatHook(ErrorRepeatHook hook);

// Messages and beeps held back on one thread instead of shown, so that work
// done on another thread, or ahead of its turn, reaches the user from the
// thread that began the operation and in the order a plain run shows it.
class HeldMessages {
public:
    HeldMessages() = default;
    ~HeldMessages() { End(); }
    HeldMessages(const HeldMessages&) = delete;
    HeldMessages& operator=(const HeldMessages&) = delete;

    // From now on ShowErrorBox and Beep on this thread only record here.
    void Begin();
    // This thread goes back to what it did before Begin (another hold or
    // showing). Must run on the thread that called Begin.
    void End();
    // Shows what was held, in order, through ShowErrorBox and Beep on the
    // calling thread (so an open operation still counts repeats), and
    // forgets it. What is never shown is dropped with the object.
    void Show();

private:
    friend void ShowErrorBox(int code, const std::string& message);
    friend void Beep();
    struct Entry {
        bool IsBeep = false;
        int Code = 0;
        std::string Message;
    };
    std::vector<Entry> Held;
    HeldMessages* Previous = nullptr;
    bool Active = false;
};

// The default system beep, through a hook as well.
using BeepHook = std::function<void()>;
BeepHook SetBeepHook(BeepHook hook);
void Beep();
