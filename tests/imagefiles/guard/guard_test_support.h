// Helpers for the hostile-file tests: forged headers, JPEGs written with
// libjpeg itself (kinds FreeImage cannot write), a count of libjpeg decoder
// entries, and running a load in a child process that may crash or hang.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "file_bytes.h"
#include "scratch_dir.h"

namespace guard_test {

using Bytes = std::vector<uint8_t>;

using calmora_test::ScratchDir;

using calmora_test::WriteFile;

// Smallest files whose headers claim width x height pixels and nothing else.
Bytes ForgedPng(uint32_t width, uint32_t height);
Bytes ForgedBmp(int32_t width, int32_t height);
Bytes ForgedGif(uint16_t frameWidth, uint16_t frameHeight);
Bytes ForgedTiff(uint32_t width, uint32_t height, bool bigEndian = false, uint32_t tileWidth = 0,
                 uint32_t tileHeight = 0);
// SOI, the segments given (each a marker byte and its payload), then a frame
// header of the given kind (0xC0 baseline, 0xC2 progressive, ...) and count
// of components, then EOI.
struct Segment {
    uint8_t marker;
    Bytes payload;
};
Bytes ForgedJpeg(uint16_t width, uint16_t height, int components, uint8_t frameMarker = 0xC0,
                 const std::vector<Segment>& before = {});

// A real JPEG made by libjpeg from a smooth RGB pattern (pixel (x, y) is
// PatternRgb(x, y)), so that the tests can check what FreeImage decodes.
struct JpegKind {
    const char* name;
    int components = 3;          // 1 grey, 3 colour, 4 CMYK (Adobe, inverted)
    bool progressive = false;
    bool arithmetic = false;
    int restartRows = 0;         // restart interval in MCU rows; 0 for none
    int lumaSampling = 1;        // 2 gives 4:2:0 chroma
    std::vector<Segment> extra;  // APPn / COM segments written after the header
};
void PatternRgb(int x, int y, uint8_t rgb[3]);
// Appends width x height pixels of pixel(x, y) as red, green, blue bytes,
// rows top-down, without padding: the pixel data of a hand-made file.
void AppendRgbRows(Bytes& out, int width, int height,
                   void (*pixel)(int x, int y, uint8_t rgb[3]) = PatternRgb);
void WriteJpegWithLibjpeg(const std::string& path, int width, int height, const JpegKind& kind);

// How many times a libjpeg decoder was created in this process since start
// (FreeImage makes one for every JPEG it reads, header-only included). -1 when
// calls cannot be observed (libjpeg linked into FreeImage itself).
int DecoderEntries();

// What one load through the program's path gave, carried out of the child.
struct LoadReport {
    int probeError = -1;      // calmora::ImageFileError of the probe
    int loadError = -1;       // calmora::ImageFileError of the load
    int guardOutcome = -1;    // calmora::GuardOutcome
    int64_t probeWidth = 0, probeHeight = 0;
    uint32_t width = 0, height = 0, bpp = 0, type = 0;
    uint32_t pitch = 0;
    uint64_t pixelHash = 0;   // of the BGR bytes, rows bottom-up, no padding
    int decoderEntries = 0;
};

enum class ChildEnd { kExited, kCrashed, kTimedOut };
struct ChildResult {
    ChildEnd end = ChildEnd::kCrashed;
    int signal = 0;
    LoadReport report;
};

// Runs work in a forked child limited to timeoutSeconds of wall time (alarm)
// and addressSpace bytes more than the child starts with (0: no limit).
ChildResult RunInChild(const std::function<LoadReport()>& work, unsigned timeoutSeconds,
                       uint64_t addressSpace);

// The program's loader path (probe, guard, decode, 24-bit conversion) on path.
LoadReport LoadThroughProgram(const std::string& path);

uint64_t HashPixels(FIBITMAP* image);

}  // namespace guard_test
