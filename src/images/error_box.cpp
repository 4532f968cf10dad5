#include "images/error_box.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace {
ErrorBoxHook g_errorHook;
BeepHook g_beepHook;
ErrorRepeatHook g_repeatHook;

// Messages of the current operation, in the order first shown.
struct OperationMessages {
    int Depth = 0;
    std::map<std::pair<int, std::string>, int> Times;
    std::vector<ErrorBoxMessage> Order;
};
std::mutex g_operationLock;
OperationMessages g_operation;

thread_local HeldMessages* t_held = nullptr;
}  // namespace

void HeldMessages::Begin()
{
    if (Active)
        return;
    Previous = std::exchange(t_held, this);
    Active = true;
}

void HeldMessages::End()
{
    if (!Active)
        return;
    t_held = Previous;
    Previous = nullptr;
    Active = false;
}

void HeldMessages::Show()
{
    std::vector<Entry> held = std::move(Held);
    Held.clear();
    for (const Entry& e : held) {
        if (e.IsBeep)
            Beep();
        else
            ShowErrorBox(e.Code, e.Message);
    }
}

ErrorBoxOperation::ErrorBoxOperation()
{
    std::lock_guard<std::mutex> lock(g_operationLock);
    ++g_operation.Depth;
}

ErrorBoxOperation::~ErrorBoxOperation()
{
    OperationMessages done;
    {
        std::lock_guard<std::mutex> lock(g_operationLock);
        if (--g_operation.Depth > 0)
            return;
        done = std::exchange(g_operation, OperationMessages{});
    }
    if (!g_repeatHook)
        return;
    for (const ErrorBoxMessage& m : done.Order) {
        const int times = done.Times[{m.Code, m.Text}];
        if (times > 1)
            g_repeatHook(m, times);
    }
}

ErrorRepeatHook SetErrorRepeatHook(ErrorRepeatHook hook)
{
    return std::exchange(g_repeatHook, std::move(hook));
}

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
    if (t_held) {
        t_held->Held.push_back({false, code, message});
        return;
    }
    ErrorBoxMessage m = MakeErrorBoxMessage(code, message);
    {
        std::lock_guard<std::mutex> lock(g_operationLock);
        if (g_operation.Depth > 0 && ++g_operation.Times[{m.Code, m.Text}] > 1)
            return;  // shown once already in this operation
        if (g_operation.Depth > 0)
            g_operation.Order.push_back(m);
    }
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
    if (t_held) {
        t_held->Held.push_back({true, 0, {}});
        return;
    }
    if (g_beepHook)
        g_beepHook();
}
