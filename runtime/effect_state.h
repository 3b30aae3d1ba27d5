// What an effect's Render, Trigger and SetParam change (its class-wide clock
// included), as bytes: a run keeps these to go back to an earlier moment
// exactly (author mode's seeking).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

class CEffectState {
public:
    template <typename T>
    void Put(const T& value) {
        static_assert(std::is_trivially_copyable<T>::value, "only plain values are kept");
        const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
        m_bytes.insert(m_bytes.end(), bytes, bytes + sizeof(T));
    }
    template <typename T>
    void PutVector(const std::vector<T>& values) {
        Put(values.size());
        for (const T& value : values) Put(value);
    }
    // Leaves the value as it is once the bytes run out: a state is read back
    // only by the effect that wrote it.
    template <typename T>
    void Take(T* value) {
        static_assert(std::is_trivially_copyable<T>::value, "only plain values are kept");
        if (m_read + sizeof(T) > m_bytes.size()) return;
        std::memcpy(value, m_bytes.data() + m_read, sizeof(T));
        m_read += sizeof(T);
    }
    template <typename T>
    void TakeVector(std::vector<T>* values) {
        size_t count = values->size();
        Take(&count);
        if (count != values->size()) return;  // only ever the same effect's own vector
        for (T& value : *values) Take(&value);
    }
    void Rewind() { m_read = 0; }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_read = 0;
};
