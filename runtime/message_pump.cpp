#include "runtime/message_pump.h"

namespace {

IMessagePump* g_pump = nullptr;

}  // namespace

void SetMessagePump(IMessagePump* pump) { g_pump = pump; }

int PumpMessages() {
    if (g_pump) g_pump->Pump();
    return 0;
}

bool StopRequested() { return g_pump && g_pump->StopRequested(); }
