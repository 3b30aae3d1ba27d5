// The registry of named effects, the 512 layers and the timeline position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/effect.h"
#include "runtime/script_event.h"

constexpr int kMaxEffects = 512;
constexpr int kLayerCount = 512;

struct SLayer {
    CEffect* effect = nullptr;
    bool enabled = false;
};

class CEffectManager {
public:
    CEffectManager() = default;
    ~CEffectManager();
    CEffectManager(const CEffectManager&) = delete;
    CEffectManager& operator=(const CEffectManager&) = delete;

    // Returns false, with a message naming the file in *error, when the
    // timeline cannot be opened; the manager then holds only the end record.
    bool Load(const char* path, int width, int height, std::string* error = nullptr);
    // Returns false (and stores nothing) once all slots are taken.
    bool Register(CEffect* effect, const char* name);
    // Fires every due event; -1 once the end marker is reached.
    int Update(int now);
    // Draws the enabled layers in order. A stop requested of the run
    // (message_pump.h) ends the pass after the layer that asked: false then.
    bool RenderLayers(float step);

    // Where the run stands: the layers and the next event. Saved and put
    // back (with the effects' states) to return to an earlier moment.
    struct SPosition {
        SLayer layers[kLayerCount];
        const CScriptEvent* current = nullptr;
    };
    void SavePosition(SPosition* position) const;
    void LoadPosition(const SPosition& position);
    // The position before the first event: every layer empty and off.
    void Rewind();
    // Takes the timeline's bytes in place of the one loaded, keeping the
    // registered effects, and rewinds.
    void Reload(const uint8_t* bytes, size_t size);

    // The events in file order: the one at `index` (null past the end), and
    // the index of one (-1 for none of them).
    const CScriptEvent* EventAt(int index) const;
    int EventIndex(const CScriptEvent* event) const;

    // Read-only views for the driver's statistics and for tests.
    const SLayer& Layer(int index) const { return m_layers[index]; }
    int RegisteredCount() const { return m_registeredCount; }
    CEffect* Registered(int slot) const { return m_registry[slot]; }
    const CScriptEvent* CurrentEvent() const { return m_current; }

    // Called around each Render; the benchmark uses it to time effects.
    using RenderObserver = void (*)(void* context, const CEffect* effect, bool begin);
    void SetRenderObserver(RenderObserver observer, void* context);

private:
    void LoadScript(const char* path, std::string* error, bool* opened);
    // The event list from the timeline's bytes, closed by the end record.
    void ReadEvents(const uint8_t* bytes, size_t size);
    CEffect* FindEffect(const char* name) const;
    void FreeEvents();

    CEffect* m_registry[kMaxEffects] = {};
    int m_registeredCount = 0;
    SLayer m_layers[kLayerCount];
    int m_width = 0;
    int m_height = 0;
    CScriptEvent* m_head = nullptr;
    CScriptEvent* m_current = nullptr;
    RenderObserver m_observer = nullptr;
    void* m_observerContext = nullptr;
};

extern CEffectManager g_effectManager;
