#include "render/core/deferred_commands.h"

#include <cstring>

namespace {

// Past this, kept commands are drawn rather than held on to.
constexpr size_t kMaxLiveBytes = 64u << 20;
// Dead commands' bytes are dropped once there are this many of them.
constexpr size_t kCompactBytes = 8u << 20;

size_t CommandBytes(const CDeferredCommands::SCommand& command) {
    return sizeof(command) + command.bytes + (command.newFixed ? sizeof(SFixedFunctionState) : 0);
}

// A source image the command reads; 0 for none.
uint32_t ReadImage(const CDeferredCommands::SCommand& command) {
    switch (command.kind) {
        case CDeferredCommands::EKind::kClear: return 0;
        case CDeferredCommands::EKind::kDraw: return command.raster.texture;  // normalised: the one sampled
        case CDeferredCommands::EKind::kCopy: return command.source;
    }
    return 0;
}

}  // namespace

int CDeferredCommands::Count(const std::unordered_map<uint32_t, int>& counts, uint32_t image) {
    const auto it = counts.find(image);
    return it == counts.end() ? 0 : it->second;
}

void CDeferredCommands::Add(const SCommand& command) {
    const size_t index = m_commands.size();
    m_commands.push_back(command);
    ++m_live;
    m_liveBytes += CommandBytes(command);
    ++m_writes[command.target];
    if (const uint32_t read = ReadImage(command)) {
        ++m_reads[read];
        // What was written into it is needed now.
        m_unread.erase(read);
    }
    m_unread[command.target].push_back(index);
}

void CDeferredCommands::Kill(SCommand* command) {
    if (command->dead) return;
    command->dead = true;
    --m_live;
    m_liveBytes -= CommandBytes(*command);
    m_deadBytes += CommandBytes(*command);
    --m_writes[command->target];
    if (const uint32_t read = ReadImage(*command)) --m_reads[read];
}

void CDeferredCommands::Clear(uint32_t target, int width, int height, D3DCOLOR color, const SRasterRect* rect) {
    if (!rect) {
        const auto unread = m_unread.find(target);
        if (unread != m_unread.end()) {
            for (size_t index : unread->second) Kill(&m_commands[index]);
            unread->second.clear();
        }
    }
    SCommand command;
    command.kind = EKind::kClear;
    command.target = target;
    command.width = width;
    command.height = height;
    command.whole = rect == nullptr;
    command.color = color;
    if (rect) command.rect = *rect;
    Add(command);
    Compact();
}

void CDeferredCommands::Draw(uint32_t target, int width, int height, const SFixedFunctionState& fixed,
                             const SRasterState& raster, const SVertexLayout& layout, D3DPRIMITIVETYPE type,
                             uint32_t primitiveCount, const uint8_t* vertices, int stride, size_t vertexCount) {
    // Consecutive draws mostly share their transforms and lights.
    const bool newFixed = m_fixed.empty() || std::memcmp(&m_fixed.back(), &fixed, sizeof(fixed)) != 0;
    if (newFixed) m_fixed.push_back(fixed);
    SCommand command;
    command.newFixed = newFixed;
    command.kind = EKind::kDraw;
    command.target = target;
    command.width = width;
    command.height = height;
    command.fixed = m_fixed.size() - 1;
    command.raster = raster;
    command.layout = layout;
    command.type = type;
    command.primitiveCount = primitiveCount;
    command.stride = stride;
    command.offset = m_vertices.size();
    // The buffer may be rewritten before the draw is made, so its bytes are kept.
    command.bytes = (vertexCount - 1) * static_cast<size_t>(stride) + static_cast<size_t>(layout.stride);
    m_vertices.insert(m_vertices.end(), vertices, vertices + command.bytes);
    Add(command);
}

void CDeferredCommands::Copy(uint32_t source, const SRasterRect& rect, uint32_t target, int destX, int destY) {
    SCommand command;
    command.kind = EKind::kCopy;
    command.target = target;
    command.source = source;
    command.rect = rect;
    command.destX = destX;
    command.destY = destY;
    Add(command);
}

void CDeferredCommands::Overwritten(uint32_t image) {
    if (!Writes(image)) return;
    for (SCommand& command : m_commands)
        if (command.target == image) Kill(&command);
    m_unread.erase(image);
    Compact();
}

bool CDeferredCommands::Full() const { return m_liveBytes > kMaxLiveBytes; }

bool CDeferredCommands::Replaces(uint32_t image) const {
    for (const SCommand& command : m_commands) {
        if (command.dead) continue;
        if (command.target == image) return command.kind == EKind::kClear && command.whole;
        if (ReadImage(command) == image) return false;
    }
    return false;
}

bool CDeferredCommands::CanKeepOnly(uint32_t image) const {
    if (!Replaces(image)) return false;
    std::unordered_map<uint32_t, int> sampledSoFar;  // by the image's commands
    for (const SCommand& command : m_commands) {
        if (command.dead) continue;
        const uint32_t read = ReadImage(command);
        if (command.target == image) {
            if (read) ++sampledSoFar[read];
        } else if (read == image || sampledSoFar.count(command.target)) {
            return false;
        }
    }
    return true;
}

void CDeferredCommands::KeepOnly(uint32_t image) {
    CDeferredCommands kept;
    for (const SCommand& command : m_commands) {
        if (command.dead || command.target != image) continue;
        switch (command.kind) {
            case EKind::kClear:
                kept.Clear(image, command.width, command.height, command.color, command.whole ? nullptr : &command.rect);
                break;
            case EKind::kDraw:
                kept.Draw(image, command.width, command.height, m_fixed[command.fixed], command.raster, command.layout,
                          command.type, command.primitiveCount, m_vertices.data() + command.offset, command.stride,
                          (command.bytes - static_cast<size_t>(command.layout.stride)) / static_cast<size_t>(command.stride) + 1);
                break;
            case EKind::kCopy:
                kept.Copy(command.source, command.rect, image, command.destX, command.destY);
                break;
        }
    }
    *this = std::move(kept);
}

void CDeferredCommands::Compact() {
    if (m_deadBytes < kCompactBytes || m_deadBytes < m_liveBytes) return;
    // In place, so the vectors keep their capacity and nothing is allocated
    // again once a run has settled.
    std::vector<size_t> newIndex(m_commands.size(), SIZE_MAX);
    size_t commands = 0, vertices = 0, fixed = 0;
    size_t lastFixed = SIZE_MAX;
    for (size_t i = 0; i < m_commands.size(); ++i) {
        SCommand command = m_commands[i];
        if (command.dead) continue;
        if (command.kind == EKind::kDraw) {
            command.newFixed = command.fixed != lastFixed;
            if (command.newFixed) {
                lastFixed = command.fixed;
                m_fixed[fixed++] = m_fixed[command.fixed];
            }
            command.fixed = fixed - 1;
            std::memmove(m_vertices.data() + vertices, m_vertices.data() + command.offset, command.bytes);
            command.offset = vertices;
            vertices += command.bytes;
        }
        newIndex[i] = commands;
        m_commands[commands++] = command;
    }
    for (auto& entry : m_unread) {
        size_t kept = 0;
        for (size_t index : entry.second)
            if (newIndex[index] != SIZE_MAX) entry.second[kept++] = newIndex[index];
        entry.second.resize(kept);
    }
    m_commands.resize(commands);
    m_vertices.resize(vertices);
    m_fixed.resize(fixed);
    m_deadBytes = 0;
}

void CDeferredCommands::Forget() {
    m_commands.clear();
    m_vertices.clear();
    m_fixed.clear();
    m_writes.clear();
    m_reads.clear();
    m_unread.clear();
    m_live = 0;
    m_liveBytes = 0;
    m_deadBytes = 0;
}
