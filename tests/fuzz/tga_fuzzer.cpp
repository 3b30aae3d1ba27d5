// CTexture::LoadTGA on the recording device, whose textures are plain
// memory: a header that lies about the size or depth must never make the
// loader read or write outside the file's bytes or the texture.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "render/recording_device.h"
#include "resources/texture.h"
#include "tests/fuzz/fuzz_files.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    EnterFuzzScratchDir(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteFuzzFile("Data/picture.tga", data, size);
    // The device owns the textures it makes: a fresh one per input frees them.
    auto device = std::make_unique<CRecordingDevice>();
    g_device = device.get();

    CTexture texture;
    texture.LoadTGA("Data/picture.tga");
    g_device = nullptr;
    return 0;
}
