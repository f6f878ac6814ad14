// File names and other command-line text as the batch tool prints them. A
// name may hold bytes a terminal acts on (ESC starts a control sequence that
// can retitle the window, move the cursor or hide the rest of the line), so
// every message shows them escaped, in the C style `ls -b` uses:
// - control bytes 0x00-0x1F and 0x7F as \xHH (ESC is \x1b, a line break \x0a);
// - C1 controls U+0080-U+009F (which some terminals obey like ESC [) and the
//   bidirectional overrides and isolates U+202A-U+202E, U+2066-U+2069 (which
//   make a name read backwards) as \xHH for each of their UTF-8 bytes;
// - bytes that are not UTF-8 as \xHH;
// - a backslash as \\, so that the shown form reads back unambiguously.
// Everything else, accented and other UTF-8 letters included, is shown as is.
#pragma once

#include <string>

namespace calmora::cli {

[[nodiscard]] std::string ShownName(const std::string& name);

}  // namespace calmora::cli
