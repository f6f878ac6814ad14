#include "guard_test_support.h"

#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "imagefiles/image_load.h"
#include "imagefiles/image_save.h"
#include "imagefiles/image_guard.h"

namespace {

int g_decoderEntries = 0;
bool g_hookCalled = false;

}  // namespace

// FreeImage reaches libjpeg through the dynamic linker, so this definition,
// exported by the test program, is the one it calls; it counts and forwards.
extern "C" void jpeg_CreateDecompress(j_decompress_ptr cinfo, int version, size_t structsize) {
    using Create = void (*)(j_decompress_ptr, int, size_t);
    static const Create real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "jpeg_CreateDecompress"));
    g_hookCalled = true;
    ++g_decoderEntries;
    real(cinfo, version, structsize);
}

namespace guard_test {

namespace fs = std::filesystem;

namespace {

using calmora_test::Crc32;
using calmora_test::PutBe16;
using calmora_test::PutBe32;
using calmora_test::PutLe16;
using calmora_test::PutLe32;

void PutPngChunk(Bytes& b, const char* type, const Bytes& data) {
    PutBe32(b, static_cast<uint32_t>(data.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    b.insert(b.end(), typed.begin(), typed.end());
    PutBe32(b, Crc32(typed.data(), typed.size()));
}

}  // namespace

Bytes ForgedPng(uint32_t width, uint32_t height) {
    Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes header;
    PutBe32(header, width);
    PutBe32(header, height);
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, not interlaced
    PutPngChunk(b, "IHDR", header);
    PutPngChunk(b, "IEND", {});
    return b;
}

Bytes ForgedBmp(int32_t width, int32_t height) {
    Bytes b = {'B', 'M'};
    PutLe32(b, 54);  // file size
    PutLe32(b, 0);
    PutLe32(b, 54);  // pixel offset
    PutLe32(b, 40);
    PutLe32(b, static_cast<uint32_t>(width));
    PutLe32(b, static_cast<uint32_t>(height));
    PutLe16(b, 1);
    PutLe16(b, 24);
    for (int i = 0; i < 6; ++i) PutLe32(b, 0);
    return b;
}

Bytes ForgedGif(uint16_t frameWidth, uint16_t frameHeight) {
    Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
    PutLe16(b, 1);  // logical screen 1 x 1
    PutLe16(b, 1);
    b.insert(b.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255});       // two-colour table
    b.insert(b.end(), {0x21, 0xF9, 4, 0, 0, 0, 0, 0});              // graphic control
    b.insert(b.end(), {0x21, 0xFE, 3, 'h', 'i', '!', 0});           // comment
    b.push_back(0x2C);
    PutLe16(b, 0);
    PutLe16(b, 0);
    PutLe16(b, frameWidth);
    PutLe16(b, frameHeight);
    b.insert(b.end(), {0, 2, 2, 0x44, 0x01, 0, 0x3B});
    return b;
}

Bytes ForgedTiff(uint32_t width, uint32_t height, bool bigEndian, uint32_t tileWidth,
                 uint32_t tileHeight) {
    Bytes b;
    auto u16 = [&](uint32_t v) { bigEndian ? PutBe16(b, v) : PutLe16(b, v); };
    auto u32 = [&](uint32_t v) { bigEndian ? PutBe32(b, v) : PutLe32(b, v); };
    b.insert(b.end(), bigEndian ? std::initializer_list<uint8_t>{'M', 'M'}
                                : std::initializer_list<uint8_t>{'I', 'I'});
    u16(42);
    u32(8);
    const bool tiled = tileWidth != 0;
    struct Entry { uint16_t tag, type; uint32_t value; };
    std::vector<Entry> entries = {{256, 4, width}, {257, 4, height}, {258, 3, 8}, {259, 3, 1},
                                  {262, 3, 1}};
    if (tiled) {
        entries.push_back({277, 3, 1});
        entries.push_back({322, 4, tileWidth});
        entries.push_back({323, 4, tileHeight});
        entries.push_back({324, 4, 8});
        entries.push_back({325, 4, 1});
    } else {
        entries.push_back({273, 4, 8});
        entries.push_back({277, 3, 1});
        entries.push_back({278, 4, height});
        entries.push_back({279, 4, 1});
    }
    u16(static_cast<uint32_t>(entries.size()));
    for (const Entry& e : entries) {
        u16(e.tag);
        u16(e.type);
        u32(1);
        if (e.type == 3) {
            u16(e.value);
            u16(0);
        } else {
            u32(e.value);
        }
    }
    u32(0);
    return b;
}

Bytes ForgedJpeg(uint16_t width, uint16_t height, int components, uint8_t frameMarker,
                 const std::vector<Segment>& before) {
    Bytes b = {0xFF, 0xD8};
    for (const Segment& s : before) {
        b.push_back(0xFF);
        b.push_back(s.marker);
        PutBe16(b, static_cast<uint32_t>(s.payload.size() + 2));
        b.insert(b.end(), s.payload.begin(), s.payload.end());
    }
    b.push_back(0xFF);
    b.push_back(frameMarker);
    PutBe16(b, static_cast<uint32_t>(8 + 3 * components));
    b.push_back(8);
    PutBe16(b, height);
    PutBe16(b, width);
    b.push_back(static_cast<uint8_t>(components));
    for (int i = 0; i < components; ++i) b.insert(b.end(), {static_cast<uint8_t>(i + 1), 0x11, 0});
    b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

void PatternRgb(int x, int y, uint8_t rgb[3]) {
    rgb[0] = static_cast<uint8_t>(40 + (x * 3 + y) % 170);
    rgb[1] = static_cast<uint8_t>(60 + (y * 2) % 150);
    rgb[2] = static_cast<uint8_t>(200 - (x + y) % 120);
}

void AppendRgbRows(Bytes& out, int width, int height, void (*pixel)(int x, int y, uint8_t rgb[3])) {
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t rgb[3];
            pixel(x, y, rgb);
            out.insert(out.end(), rgb, rgb + 3);
        }
    }
}

void WriteJpegWithLibjpeg(const std::string& path, int width, int height, const JpegKind& kind) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error("cannot write " + path);
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, file);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = kind.components;
    c.in_color_space = kind.components == 1 ? JCS_GRAYSCALE
                       : kind.components == 4 ? JCS_CMYK
                                              : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    c.comp_info[0].h_samp_factor = kind.lumaSampling;
    c.comp_info[0].v_samp_factor = kind.lumaSampling;
    c.arith_code = kind.arithmetic ? TRUE : FALSE;
    c.restart_in_rows = kind.restartRows;
    if (kind.progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    for (const Segment& s : kind.extra) {
        jpeg_write_marker(&c, s.marker, s.payload.data(), static_cast<unsigned>(s.payload.size()));
    }
    std::vector<JSAMPLE> row(static_cast<size_t>(width) * static_cast<size_t>(kind.components));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t rgb[3];
            PatternRgb(x, y, rgb);
            JSAMPLE* px = &row[static_cast<size_t>(x) * static_cast<size_t>(kind.components)];
            if (kind.components == 1) {
                px[0] = static_cast<JSAMPLE>((rgb[0] * 299 + rgb[1] * 587 + rgb[2] * 114) / 1000);
            } else if (kind.components == 4) {
                // Adobe's inverted CMYK with no black: each ink channel holds
                // the colour's own value, so the picture is the same RGB.
                px[0] = rgb[0];
                px[1] = rgb[1];
                px[2] = rgb[2];
                px[3] = 255;
            } else {
                px[0] = rgb[0];
                px[1] = rgb[1];
                px[2] = rgb[2];
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(file);
}

int DecoderEntries() {
    // One throwaway decoder proves that FreeImage's calls can be seen.
    static const bool observable = [] {
        const int before = g_decoderEntries;
        FIMEMORY* memory = FreeImage_OpenMemory();
        FreeImage_LoadFromMemory(FIF_JPEG, memory, 0);  // empty: fails right after creating
        FreeImage_CloseMemory(memory);
        const bool seen = g_hookCalled && g_decoderEntries > before;
        g_decoderEntries = before;
        return seen;
    }();
    return observable ? g_decoderEntries : -1;
}

uint64_t HashPixels(FIBITMAP* image) {
    uint64_t hash = 1469598103934665603ull;
    const unsigned width = FreeImage_GetWidth(image);
    for (unsigned y = 0; y < FreeImage_GetHeight(image); ++y) {
        const BYTE* row = FreeImage_GetScanLine(image, static_cast<int>(y));
        for (unsigned i = 0; i < 3 * width; ++i) hash = (hash ^ row[i]) * 1099511628211ull;
    }
    return hash;
}

LoadReport LoadThroughProgram(const std::string& path) {
    LoadReport report;
    const int entriesBefore = DecoderEntries();
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
    report.guardOutcome = static_cast<int>(calmora::InspectBeforeDecode(path, format).outcome);
    const calmora::ImageProbe probe = calmora::ProbeImageFile(path);
    report.probeError = static_cast<int>(probe.error);
    report.probeWidth = probe.width;
    report.probeHeight = probe.height;
    const calmora::LoadedImage loaded = calmora::LoadImageFile(path);
    report.loadError = static_cast<int>(loaded.error);
    if (FIBITMAP* image = loaded.image.get()) {
        report.width = FreeImage_GetWidth(image);
        report.height = FreeImage_GetHeight(image);
        report.bpp = FreeImage_GetBPP(image);
        report.type = static_cast<uint32_t>(FreeImage_GetImageType(image));
        report.pitch = FreeImage_GetPitch(image);
        report.pixelHash = FreeImage_HasPixels(image) ? HashPixels(image) : 0;
    }
    report.decoderEntries = entriesBefore < 0 ? -1 : DecoderEntries() - entriesBefore;
    return report;
}

namespace {

uint64_t AddressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0;
    statm >> pages;
    return pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace

ChildResult RunInChild(const std::function<LoadReport()>& work, unsigned timeoutSeconds,
                       uint64_t addressSpace) {
    ChildResult result;
    DecoderEntries();  // settle the one-off probe before the child inherits it
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        close(fds[0]);
        if (addressSpace != 0) {
            const rlimit limit{AddressSpaceInUse() + addressSpace, RLIM_INFINITY};
            setrlimit(RLIMIT_AS, &limit);
        }
        alarm(timeoutSeconds);
        const LoadReport report = work();
        const ssize_t written = write(fds[1], &report, sizeof report);
        _exit(written == static_cast<ssize_t>(sizeof report) ? 0 : 3);
    }
    close(fds[1]);
    size_t got = 0;
    auto* into = reinterpret_cast<char*>(&result.report);
    for (;;) {
        const ssize_t n = read(fds[0], into + got, sizeof result.report - got);
        if (n > 0) {
            got += static_cast<size_t>(n);
            if (got == sizeof result.report) break;
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
        result.end = result.signal == SIGALRM ? ChildEnd::kTimedOut : ChildEnd::kCrashed;
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == sizeof result.report) {
        result.end = ChildEnd::kExited;
    } else {
        result.end = ChildEnd::kCrashed;  // exited some other way, e.g. abort() caught or exit()
    }
    return result;
}

}  // namespace guard_test
