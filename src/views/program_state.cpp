#include "views/program_state.h"

#include <array>
#include <optional>

uint8_t MeshTool = 0;
uint8_t NodeTool = 0;
uint8_t ResultTool = 0;

namespace {
std::array<std::optional<QCursor>, 9>& Slots()
{
    static std::array<std::optional<QCursor>, 9> table;
    return table;
}
}  // namespace

QCursor CursorSlot(int slot)
{
    if (slot < 1 || slot > 8 || !Slots()[slot])
        return QCursor(Qt::ArrowCursor);
    return *Slots()[slot];
}

void SetCursorSlot(int slot, const QCursor& cursor)
{
    if (slot >= 1 && slot <= 8)
        Slots()[slot] = cursor;
}
