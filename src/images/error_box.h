// The one error message box of the system. Core code reports every failure
// through ShowErrorBox; each front end installs a hook that shows it (a
// message box in the workstation, standard error in the command-line tools,
// a recorder in the tests).
#pragma once

#include <functional>
#include <string>

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

// The default system beep, through a hook as well.
using BeepHook = std::function<void()>;
BeepHook SetBeepHook(BeepHook hook);
void Beep();
