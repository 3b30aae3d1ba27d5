// One stored timeline line.
#pragma once

#include <cstdint>

struct CScriptEvent {
    char command = 0;
    int32_t time = 0;
    char subCommand = 0;
    int32_t ints[16] = {};
    char name[128] = {};
    float value = 0.0f;
    CScriptEvent* next = nullptr;
};

// Time of the end record appended after the last stored line: due at once.
constexpr int32_t kEndRecordTime = -99999999;
