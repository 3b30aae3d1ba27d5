#include "runtime/message_pump.h"

namespace {

PumpMessagesHook g_pumpHook = nullptr;

}  // namespace

void SetPumpMessagesHook(PumpMessagesHook hook) { g_pumpHook = hook; }

int PumpMessages() { return g_pumpHook ? g_pumpHook() : 0; }
