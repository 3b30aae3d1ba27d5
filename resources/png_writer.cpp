#include "resources/png_writer.h"

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "resources/output_file.h"

namespace {

// What a file keeps of the 4-byte pixels given.
enum class EChannels { kRgbFromBgra, kRgba };

// Where libpng's bytes go: a buffer written out to the file as it fills,
// keeping the system's reason when a write fails. Plain data only, since
// libpng leaves by longjmp.
struct SPngOutput {
    int fd = -1;
    std::vector<uint8_t> buffer;
    int writeErrno = 0;
    char message[128] = {};  // libpng's own reason, when it has one
};

constexpr size_t kBufferBytes = 1 << 16;

bool WriteOut(SPngOutput* out) {
    size_t done = 0;
    while (done < out->buffer.size()) {
        const ssize_t wrote = write(out->fd, out->buffer.data() + done, out->buffer.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            out->writeErrno = wrote < 0 ? errno : EIO;
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    out->buffer.clear();
    return true;
}

void OnPngError(png_structp png, png_const_charp message) {
    auto* out = static_cast<SPngOutput*>(png_get_error_ptr(png));
    std::snprintf(out->message, sizeof out->message, "%s", message ? message : "the PNG encoder failed");
    png_longjmp(png, 1);
}

// Warnings are not failures, and standard error is not libpng's to write on.
void OnPngWarning(png_structp, png_const_charp) {}

void OnPngWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<SPngOutput*>(png_get_io_ptr(png));
    out->buffer.insert(out->buffer.end(), data, data + length);
    if (out->buffer.size() >= kBufferBytes && !WriteOut(out)) png_error(png, "write failed");
}

void OnPngFlush(png_structp) {}

// One row as the file stores it, in `row`'s bytes.
void StoredRow(const uint8_t* pixels, int width, EChannels channels, uint8_t* row) {
    if (channels == EChannels::kRgba) {
        std::memcpy(row, pixels, static_cast<size_t>(width) * 4);
        return;
    }
    for (int x = 0; x < width; ++x, pixels += 4, row += 3) {
        row[0] = pixels[2];
        row[1] = pixels[1];
        row[2] = pixels[0];
    }
}

// The rows are converted one at a time, so a frame of any size needs no
// copy of its own.
bool WriteRows(SPngOutput* out, const uint8_t* pixels, int width, int height, EChannels channels, uint8_t* row) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, out, OnPngError, OnPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        std::snprintf(out->message, sizeof out->message, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, OnPngWrite, OnPngFlush);
    // Fast compression: a capture writes thousands of frames. Level 1 with
    // the "sub" filter alone is several times faster than the defaults and
    // still the same bytes for the same pixels.
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    const int colourType = channels == EChannels::kRgba ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const size_t pitch = static_cast<size_t>(width) * 4;
    for (int y = 0; y < height; ++y) {
        StoredRow(pixels + pitch * static_cast<size_t>(y), width, channels, row);
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return WriteOut(out);
}

bool WriteFile(const std::string& path, const uint8_t* pixels, int width, int height, EChannels channels,
               std::string* error) {
    if (!pixels || width <= 0 || height <= 0) {
        *error = path + ": no image to write";
        return false;
    }
    std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
    // Under a hidden name until it is whole, so a frame cut short by a full
    // disk is never left under a frame's name.
    const std::string hidden = HiddenName(path);
    SPngOutput out;
    out.fd = open(hidden.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out.fd < 0) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    // Room for a full buffer and the largest piece libpng hands over.
    out.buffer.reserve(2 * kBufferBytes);
    const bool written = WriteRows(&out, pixels, width, height, channels, row.data());
    const bool closed = close(out.fd) == 0;
    if (!written || !closed) {
        const int reason = !written ? out.writeErrno : errno;
        *error = path + ": " + (reason != 0 ? std::strerror(reason) : out.message);
        std::remove(hidden.c_str());
        return false;
    }
    return PublishFile(hidden, path, error);
}

}  // namespace

bool WritePngRgb(const std::string& path, const uint8_t* bgra, int width, int height, std::string* error) {
    return WriteFile(path, bgra, width, height, EChannels::kRgbFromBgra, error);
}

bool WritePngRgba(const std::string& path, const uint8_t* rgba, int width, int height, std::string* error) {
    return WriteFile(path, rgba, width, height, EChannels::kRgba, error);
}
