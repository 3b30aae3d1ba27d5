#include "resources/tga_reader.h"

#include <algorithm>
#include <new>
#include <vector>

ETgaStatus ReadTga(IFile* file, STgaImage* image, uint64_t* fileSize) {
    file->Seek(0, SEEK_END);
    const uint64_t size = static_cast<uint64_t>(std::max<int64_t>(file->Tell(), 0));
    file->Seek(0, SEEK_SET);
    *fileSize = size;
    if (size < kTgaHeaderBytes) return ETgaStatus::kTooShort;

    std::vector<uint8_t> bytes(kTgaHeaderBytes);
    file->Read(kTgaHeaderBytes, bytes.data());
    uint64_t useful = 0;
    const ETgaStatus header = CheckTgaHeader(bytes.data(), image, &useful);
    if (header != ETgaStatus::kOk) return header;

    // At most 8192 x 8192 pixels of 5 bytes and a header: within one Read.
    const uint64_t wanted = std::min(size, useful);
    try {
        bytes.resize(static_cast<size_t>(wanted));
    } catch (const std::bad_alloc&) {
        return ETgaStatus::kNoMemory;
    }
    file->Read(static_cast<int32_t>(wanted - kTgaHeaderBytes), bytes.data() + kTgaHeaderBytes);
    // A file cut while it is read decodes as cut short.
    const int64_t reached = file->Tell();
    if (reached >= kTgaHeaderBytes && static_cast<uint64_t>(reached) < wanted) bytes.resize(static_cast<size_t>(reached));
    return DecodeTga(bytes.data(), bytes.size(), image);
}
