#include "render/core/hidden_back_buffer.h"

namespace {

// Past this, kept commands are drawn rather than held on to.
constexpr size_t kMaxKeptBytes = 32u << 20;

}  // namespace

void CHiddenBackBuffer::ClearWhole(D3DCOLOR color) {
    Forget();
    SCommand command;
    command.clear = true;
    command.whole = true;
    command.color = color;
    m_commands.push_back(command);
}

void CHiddenBackBuffer::ClearRect(D3DCOLOR color, const SRasterRect& rect) {
    SCommand command;
    command.clear = true;
    command.color = color;
    command.rect = rect;
    m_commands.push_back(command);
}

void CHiddenBackBuffer::Draw(const SFixedFunctionState& fixed, const SRasterState& raster,
                             const SVertexLayout& layout, D3DPRIMITIVETYPE type, uint32_t primitiveCount,
                             const uint8_t* vertices, int stride, size_t vertexCount) {
    SCommand command;
    command.fixed = fixed;
    command.raster = raster;
    command.layout = layout;
    command.type = type;
    command.primitiveCount = primitiveCount;
    command.stride = stride;
    command.offset = m_vertices.size();
    // The buffer may be rewritten before the draw is made, so its bytes are kept.
    const size_t bytes = (vertexCount - 1) * static_cast<size_t>(stride) + static_cast<size_t>(layout.stride);
    m_vertices.insert(m_vertices.end(), vertices, vertices + bytes);
    m_commands.push_back(command);
    if (raster.texture) m_sampled.insert(raster.texture);
}

bool CHiddenBackBuffer::Full() const {
    return m_vertices.size() + m_commands.size() * sizeof(SCommand) > kMaxKeptBytes;
}

void CHiddenBackBuffer::Forget() {
    m_commands.clear();
    m_vertices.clear();
    m_sampled.clear();
}
