#include "options.h"

#include <getopt.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "shown_name.h"

namespace calmora::cli {

namespace {

// Whole-string decimal integer within [low, high]; nothing otherwise.
std::optional<int> ParseInt(const char* text, int low, int high) {
    if (!text || !*text) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high) return std::nullopt;
    return static_cast<int>(value);
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

enum LongOnly {
    kRed = 1000, kGreen, kBlue, kLzw, kOverwrite, kFormat, kVersion, kEstimate, kColourNoise
};

// The filter options' lines of --help, with the ranges the parser takes.
std::string FilterHelp() {
    const auto n = [](int value) { return std::to_string(value); };
    std::string help;
    help += "  -s, --intensity N    strength of the filter (sigma), " + n(kMinIntensity) + " to " +
            n(kMaxIntensity) + "; default " + n(kDefaultIntensity) + "\n";
    help += "                       or 'auto': suggested from the noise measured in\n";
    help += "                       each image, for the radius chosen\n";
    help += "  -r, --radius N       search radius in pixels, " + n(kMinRadius) + " to " +
            n(kMaxRadius) + "; default " + n(kDefaultRadius) + "\n";
    help += "                       (time grows with (2N+1)^2)\n";
    help += "      --red P          strength on the red channel in percent, " +
            n(kMinChannelPercent) + " to " + n(kMaxChannelPercent) + ";\n";
    help += "      --green P        likewise green, and blue; default " +
            n(kDefaultChannelPercent) + " each. With all\n";
    help += "      --blue P         three at " + n(kMaxChannelPercent) +
            " every channel is filtered fully; lower\n";
    help += "                       values blend the filtered channel with the original.\n";
    help += "      --colour-noise S colour-noise mode, as the window program's \"Colour\n";
    help += "                       noise\": brightness and colour denoised apart, and\n";
    help += "                       the colour also at a quarter of the size at strength\n";
    help += "                       S, " + n(kMinColourStrength) + " to " + n(kMaxColourStrength) +
            ", against coarse colour blotches (0: not\n";
    help += "                       at all); the channel strengths still apply\n";
    help += "      --estimate       print each image's measured noise (standard deviation\n";
    help += "                       per channel, levels 0-255) and the intensity 'auto'\n";
    help += "                       would choose; nothing is denoised or written\n";
    return help;
}

}  // namespace

std::string UsageText(const std::string& program) {
    return "Usage: " + program + " [OPTION]... IMAGE...\n"
R"(Removes noise from photographs with Calmora's non-local-means filter, row by
row exactly as the window program's "Apply" does.

Each IMAGE (JPEG, BMP, PNG, TIFF or GIF) is read, denoised and written to a
new file. Without -o or --output-dir the result goes beside its input as
NAME-denoised.EXT (a GIF input gives a PNG). Existing output files are
replaced, but a file that is one of the inputs is never replaced unless
--overwrite is given.

Filter:
)" + FilterHelp() + R"(
Output:
  -o, --output FILE    write the result to FILE (only with a single IMAGE);
                       its extension chooses the format: jpg, jpeg, png,
                       tif, tiff or bmp
  -d, --output-dir DIR write each result into DIR (made when missing) under
                       its input's name
      --format EXT     format of the files named by the tool (beside the
                       input or in DIR): jpg, png, tif or bmp; default: the
                       input's own format (PNG for GIF input)
  -q, --quality N      JPEG quality 1 to 100; default 90
      --lzw            TIFF with LZW compression; default uncompressed
      --overwrite      allow replacing an input file with its result
      --quiet          print nothing but errors

  -h, --help           show this help and exit
      --version        show the version and exit

Metadata (EXIF, IPTC, XMP) and an RGB colour profile of the input are
written into JPEG, PNG and TIFF results.

While working, a progress bar is shown on the terminal; the time taken is
printed for every image. A file that cannot be read, decoded or written is
reported on one line naming the file and the reason; the other files are
still processed. In names, control characters are shown escaped (ESC as
\x1b) and a backslash as \\. Ctrl+C stops after the row being computed;
the image in progress is not written. An output that is not a regular file
(a device, FIFO or socket, or a link to one) or is write-protected is never
replaced; through a link to a file, that file is replaced.

Exit status: 0 when every image was written, 1 when some could not be or
standard output could not be written, 2 for a wrong command line, 130 when
interrupted.
)";
}

ParseResult ParseCommandLine(int argc, char** argv) {
    ParseResult result;
    Options& o = result.options;
    o.settings.sigma = kDefaultIntensity;
    o.settings.radius = kDefaultRadius;
    o.save.jpegQuality = kDefaultJpegQuality;

    static const option kLong[] = {
        {"intensity", required_argument, nullptr, 's'},
        {"radius", required_argument, nullptr, 'r'},
        {"red", required_argument, nullptr, kRed},
        {"green", required_argument, nullptr, kGreen},
        {"blue", required_argument, nullptr, kBlue},
        {"output", required_argument, nullptr, 'o'},
        {"output-dir", required_argument, nullptr, 'd'},
        {"format", required_argument, nullptr, kFormat},
        {"quality", required_argument, nullptr, 'q'},
        {"lzw", no_argument, nullptr, kLzw},
        {"overwrite", no_argument, nullptr, kOverwrite},
        {"quiet", no_argument, nullptr, 'Q'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, kVersion},
        {"estimate", no_argument, nullptr, kEstimate},
        {"colour-noise", required_argument, nullptr, kColourNoise},
        {nullptr, 0, nullptr, 0}};

    auto fail = [&result](std::string message) {
        if (result.error.empty()) result.error = std::move(message);
    };
    auto number = [&](const char* name, int low, int high) -> int {
        const auto value = ParseInt(optarg, low, high);
        if (!value) {
            fail(std::string(name) + " must be a whole number from " + std::to_string(low) +
                 " to " + std::to_string(high) + ", not '" + ShownName(optarg ? optarg : "") + "'");
            return low;
        }
        return *value;
    };
    auto percent = [&](const char* name) {
        return FactorFromPercent(number(name, kMinChannelPercent, kMaxChannelPercent));
    };

    optind = 0;  // a fresh scan, also when called more than once
    opterr = 0;
    int c = 0;
    while ((c = getopt_long(argc, argv, ":s:r:o:d:q:h", kLong, nullptr)) != -1) {
        switch (c) {
            case 's':
                o.autoIntensity = optarg && Lower(optarg) == "auto";
                if (o.autoIntensity)
                    o.settings.sigma = kDefaultIntensity;  // replaced for each image
                else
                    o.settings.sigma =
                        static_cast<int16_t>(number("intensity", kMinIntensity, kMaxIntensity));
                break;
            case 'r':
                o.settings.radius =
                    static_cast<int16_t>(number("radius", kMinRadius, kMaxRadius));
                break;
            case kRed: o.settings.red = percent("red"); break;
            case kGreen: o.settings.green = percent("green"); break;
            case kBlue: o.settings.blue = percent("blue"); break;
            // An empty name would quietly mean "beside the input".
            case 'o':
                o.outputFile = optarg;
                if (o.outputFile.empty()) fail("--output (-o) needs a file name, not an empty one");
                break;
            case 'd':
                o.outputDir = optarg;
                if (o.outputDir.empty())
                    fail("--output-dir (-d) needs a folder name, not an empty one");
                break;
            case kFormat:
                o.formatExtension = Lower(optarg);
                if (!o.formatExtension.empty() && o.formatExtension.front() == '.')
                    o.formatExtension.erase(0, 1);
                o.format = SaveFormatFromExtension(o.formatExtension);
                if (!o.format)
                    fail("unknown output format '" + ShownName(optarg) +
                         "' (use jpg, png, tif or bmp)");
                break;
            case 'q': o.save.jpegQuality = number("quality", 1, 100); break;
            case kLzw: o.save.tiffLzw = true; break;
            case kOverwrite: o.overwrite = true; break;
            case 'Q': o.quiet = true; break;
            case 'h': o.help = true; break;
            case kVersion: o.version = true; break;
            case kEstimate: o.estimateOnly = true; break;
            case kColourNoise:
                o.settings.colourNoise = true;
                o.settings.colourStrength = static_cast<int16_t>(
                    number("colour-noise strength", kMinColourStrength, kMaxColourStrength));
                break;
            case ':': fail("option " + ShownName(argv[optind - 1]) + " needs a value"); break;
            default: fail("unknown option " + ShownName(argv[optind - 1])); break;
        }
    }
    for (int i = optind; i < argc; ++i) o.inputs.emplace_back(argv[i]);
    if (o.help || o.version) return result;

    if (o.inputs.empty()) fail("no input image given");
    if (!o.outputFile.empty() && !o.outputDir.empty())
        fail("--output and --output-dir cannot be used together");
    if (!o.outputFile.empty() && o.inputs.size() > 1)
        fail("--output takes a single input image; use --output-dir for several");
    if (!o.outputFile.empty() && o.format)
        fail("--format is for names the tool makes up; with --output the extension decides");
    if (!CanRun(o.settings)) fail("at least one of --red, --green, --blue must be above 0");
    return result;
}

}  // namespace calmora::cli
