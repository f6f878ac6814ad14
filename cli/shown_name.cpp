#include "shown_name.h"

#include <cstdint>
#include <cstdio>

namespace calmora::cli {

namespace {

void AppendEscaped(std::string& out, unsigned char byte) {
    char text[5];
    std::snprintf(text, sizeof text, "\\x%02x", byte);
    out += text;
}

// Length of the well-formed UTF-8 sequence at text[at] (1 to 4), with its
// code point; 0 when the bytes there are not one.
size_t SequenceAt(const std::string& text, size_t at, uint32_t& point) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        point = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        point = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(i);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return 0;
        point = (point << 6) | (next & 0x3F);
    }
    return length;
}

bool ActsOnTerminal(uint32_t point) {
    return (point >= 0x80 && point <= 0x9F) || (point >= 0x202A && point <= 0x202E) ||
           (point >= 0x2066 && point <= 0x2069);
}

}  // namespace

std::string ShownName(const std::string& name) {
    std::string shown;
    shown.reserve(name.size());
    for (size_t at = 0; at < name.size();) {
        const auto byte = static_cast<unsigned char>(name[at]);
        if (byte < 0x80) {
            if (byte < 0x20 || byte == 0x7F) {
                AppendEscaped(shown, byte);
            } else if (byte == '\\') {
                shown += "\\\\";
            } else {
                shown += static_cast<char>(byte);
            }
            ++at;
            continue;
        }
        uint32_t point = 0;
        const size_t length = SequenceAt(name, at, point);
        if (length == 0) {
            AppendEscaped(shown, byte);
            ++at;
            continue;
        }
        if (ActsOnTerminal(point)) {
            for (size_t i = 0; i < length; ++i)
                AppendEscaped(shown, static_cast<unsigned char>(name[at + i]));
        } else {
            shown.append(name, at, length);
        }
        at += length;
    }
    return shown;
}

}  // namespace calmora::cli
