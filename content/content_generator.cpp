#include "content/content_generator.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "content/icon.h"
#include "content/mp3_encoder.h"
#include "content/pictures.h"
#include "content/song.h"
#include "content/tga_writer.h"
#include "resources/png_writer.h"

namespace {

void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

void GenerateContent(const SContentPaths& paths) {
    const std::filesystem::path root(paths.outputDir);
    std::error_code error;
    std::filesystem::create_directories(root / "Data", error);
    if (error) throw std::runtime_error("cannot create " + (root / "Data").string() + ": " + error.message());

    const std::filesystem::path fonts(paths.fontDir);
    const CFont sans((fonts / "DejaVuSans.ttf").string());
    const CFont sansBold((fonts / "DejaVuSans-Bold.ttf").string());
    const CFont serif((fonts / "DejaVuSerif.ttf").string());
    for (const SPicture& picture : PaintAllPictures(SFonts{&sans, &sansBold, &serif})) {
        WriteBytes(root / picture.path, EncodeTGA(picture.image, picture.bitsPerPixel));
    }

    const CMix song = RenderSong();
    WriteBytes(root / "Data" / "song.mp3", EncodeMp3(song.Left(), song.Right(), kSampleRate, 192));
}

void GenerateIcon(const std::string& pngPath) {
    const CImage icon = PaintIcon();
    const std::vector<uint8_t> rgba = ToStraightRgba(icon);
    std::string error;
    if (!WritePngRgba(pngPath, rgba.data(), icon.Width(), icon.Height(), &error)) throw std::runtime_error(error);
}
