#include "images/error_box.h"

#include <cstdio>
#include <utility>

namespace {
ErrorBoxHook g_errorHook;
BeepHook g_beepHook;
}  // namespace

ErrorBoxHook SetErrorBoxHook(ErrorBoxHook hook)
{
    return std::exchange(g_errorHook, std::move(hook));
}

ErrorBoxMessage MakeErrorBoxMessage(int code, const std::string& message)
{
    ErrorBoxMessage m;
    m.Code = code;
    if (code == 4) {
        m.Caption = "Error.";
        m.Text = "Error: " + message;
    } else if (code == 18) {
        m.Caption = "Warning.";
        m.Text = "2,4,16 and 256 colr PCX and BMP are not supported.";
    } else {
        m.Caption = "Error";
        m.Text = "Error: " + message;
        m.SystemModal = true;
    }
    return m;
}

void ShowErrorBox(int code, const std::string& message)
{
    ErrorBoxMessage m = MakeErrorBoxMessage(code, message);
    if (g_errorHook)
        g_errorHook(m);
    else
        std::fprintf(stderr, "%s\n", m.Text.c_str());
}

BeepHook SetBeepHook(BeepHook hook)
{
    return std::exchange(g_beepHook, std::move(hook));
}

void Beep()
{
    if (g_beepHook)
        g_beepHook();
}
