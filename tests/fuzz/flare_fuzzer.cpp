// The flare's own reader of "Data/anim.tga" (an outline per pixel row),
// followed by frames spread over its rows, so every sample it took is used.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "effects/flare.h"
#include "render/recording_device.h"
#include "tests/fuzz/fuzz_files.h"
#include "tests/tga_file.h"

namespace {

// A valid 1 x 1 gradient, so only the profile varies.
void WriteGradient() {
    const std::string tga = TgaHeader(1, 1, 32, 0x20) + std::string(4, '\xff');
    WriteFuzzFile("Data/grad.tga", reinterpret_cast<const uint8_t*>(tga.data()), tga.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    EnterFuzzScratchDir(argc, argv);
    WriteGradient();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteFuzzFile("Data/anim.tga", data, size);
    auto device = std::make_unique<CRecordingDevice>();
    g_device = device.get();
    {
        CEffectFlare flare;
        flare.Init(640, 480);
        // Steps of 0.37 s land on rows far apart, and one step goes
        // backwards past 0.
        CEffectFlare::s_time = 0.0f;
        for (float step : {0.0f, 0.37f, 0.37f, 0.37f, 5.0f, -7.0f}) {
            flare.Render(step);
            device->ClearCalls();
        }
    }
    g_device = nullptr;
    return 0;
}
