#include "resources/message_box.h"

#include <cstdio>

namespace {
MessageBoxHook g_hook = nullptr;
}

void SetMessageBoxHook(MessageBoxHook hook) { g_hook = hook; }

void ShowMessageBox(const char* caption, const char* text) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    if (g_hook) g_hook(caption, text);
}
