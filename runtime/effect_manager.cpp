#include "runtime/effect_manager.h"

#include "runtime/message_pump.h"

#include <cstring>

CEffectManager g_effectManager;

namespace {

bool ValidLayer(int index) { return index >= 0 && index < kLayerCount; }

}  // namespace

CEffectManager::~CEffectManager() { FreeEvents(); }

bool CEffectManager::Load(const char* path, int width, int height, std::string* error) {
    m_width = width;
    m_height = height;
    for (CEffect*& slot : m_registry) slot = nullptr;
    m_registeredCount = 0;
    for (SLayer& layer : m_layers) layer = SLayer{};
    FreeEvents();

    bool opened = false;
    LoadScript(path, error, &opened);
    return opened;
}

bool CEffectManager::Register(CEffect* effect, const char* name) {
    if (!effect || m_registeredCount >= kMaxEffects) return false;
    m_registry[m_registeredCount] = effect;
    effect->Init(m_width, m_height);
    // The name goes in after Init; longer names are cut to fit the field.
    const char* source = name ? name : "";
    std::strncpy(effect->name, source, sizeof(effect->name) - 1);
    effect->name[sizeof(effect->name) - 1] = '\0';
    ++m_registeredCount;
    return true;
}

CEffect* CEffectManager::FindEffect(const char* name) const {
    // First registered wins when two effects share a name.
    for (CEffect* effect : m_registry) {
        if (effect && std::strcmp(effect->name, name) == 0) return effect;
    }
    return nullptr;
}

int CEffectManager::Update(int now) {
    // Nothing loaded: there is nothing left to play.
    if (!m_current) return -1;

    // Strictly in file order: an event not yet due holds back every later
    // one, whatever their times.
    while (m_current->time <= now) {
        const CScriptEvent& event = *m_current;
        if (event.command == 'F') return -1;  // stays on the marker

        const int index = event.ints[0];
        if (event.command == 'e' && event.subCommand == 'p') {
            if (CEffect* effect = FindEffect(event.name)) effect->Trigger();
        } else if (event.command == 'e' && event.subCommand == 's') {
            CEffect* effect = FindEffect(event.name);
            if (effect && ValidLayer(index)) {
                m_layers[index].effect = effect;
                m_layers[index].enabled = true;
            }
        } else if (event.command == 'l' && ValidLayer(index)) {
            SLayer& layer = m_layers[index];
            // Parameters and enabling need an effect; hiding works on any layer.
            if (event.subCommand == 'f' && layer.effect) {
                layer.effect->SetParam(event.ints[1], event.value);
            } else if (event.subCommand == 'h') {
                layer.enabled = false;
            } else if (event.subCommand == 's' && layer.effect) {
                layer.enabled = true;
            }
        }
        // "g" lines and unknown sub-commands are consumed without effect.

        // The loader always ends the list with an "F" record, so next is set.
        m_current = event.next;
    }
    return 0;
}

bool CEffectManager::RenderLayers(float step) {
    for (const SLayer& layer : m_layers) {
        if (!layer.enabled || !layer.effect) continue;
        if (StopRequested()) return false;
        if (m_observer) m_observer(m_observerContext, layer.effect, true);
        layer.effect->Render(step);
        if (m_observer) m_observer(m_observerContext, layer.effect, false);
    }
    return !StopRequested();
}

void CEffectManager::SavePosition(SPosition* position) const {
    for (int i = 0; i < kLayerCount; ++i) position->layers[i] = m_layers[i];
    position->current = m_current;
}

void CEffectManager::LoadPosition(const SPosition& position) {
    for (int i = 0; i < kLayerCount; ++i) m_layers[i] = position.layers[i];
    m_current = const_cast<CScriptEvent*>(position.current);
}

void CEffectManager::Rewind() {
    for (SLayer& layer : m_layers) layer = SLayer{};
    m_current = m_head ? m_head->next : nullptr;
}

void CEffectManager::Reload(const uint8_t* bytes, size_t size) {
    FreeEvents();
    ReadEvents(bytes, size);
    Rewind();
}

const CScriptEvent* CEffectManager::EventAt(int index) const {
    const CScriptEvent* event = m_head ? m_head->next : nullptr;
    for (; event && index > 0; --index) event = event->next;
    return index == 0 ? event : nullptr;
}

int CEffectManager::EventIndex(const CScriptEvent* event) const {
    int index = 0;
    for (const CScriptEvent* at = m_head ? m_head->next : nullptr; at; at = at->next, ++index) {
        if (at == event) return index;
    }
    return -1;
}

void CEffectManager::SetRenderObserver(RenderObserver observer, void* context) {
    m_observer = observer;
    m_observerContext = context;
}

void CEffectManager::FreeEvents() {
    while (m_head) {
        CScriptEvent* next = m_head->next;
        delete m_head;
        m_head = next;
    }
    m_current = nullptr;
}
