// What the dialog's full run adds to the engine's own time: event processing
// before every row, the progress bar, the per-row calls. Runs headless.
//
//   calmora-dialog-bench [width height [sigma [radius [repeats]]]]
//
// Defaults: 4000 x 3000 (12 megapixels), sigma 10, radius 5, 1 repeat. Each
// repeat times the engine alone over all rows, one call per row, and then the
// dialog's Apply on the same image and settings, and checks that both give
// the same bytes. Both wall time and the process's processor time are shown:
// on a machine shared with other work the processor time is the steadier one.
#include <QApplication>
#include <QFrame>
#include <QPushButton>
#include <QScrollBar>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <vector>

#include "dialog_test_host.h"
#include "form_denoise.h"
#include "preferences.h"

using namespace calmora;
using namespace calmora::testing;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

double ProcessorSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

struct Timing {
    double wall = 0, processor = 0;
};

struct Stopwatch {
    Clock::time_point wall = Clock::now();
    double processor = ProcessorSeconds();
    [[nodiscard]] Timing Read() const { return {Seconds(wall), ProcessorSeconds() - processor}; }
};

Timing EngineAlone(const FakeHost& host, int sigma, int radius, std::vector<uint8_t>& out) {
    const int32_t w = host.ImageWidth(), h = host.ImageHeight();
    out.assign(static_cast<size_t>(BufferStride(w) * h), 0);
    const std::vector<float> table = ReferenceTable(sigma);
    DenoiseJob job{0, -1, w, h, 14 * sigma * sigma};
    const DenoiseParams params{1, static_cast<int16_t>(radius), 0, 0};
    const Stopwatch watch;
    for (int32_t row = 0; row < h; ++row) {
        job.firstRow = job.lastRow = row;
        KcDenoiseCompleta(&job, &params, host.ImageBits(), out.data(), table.data(), nullptr);
    }
    return watch.Read();
}

Timing DialogRun(FakeHost& host, int sigma, int radius, bool& handedBack) {
    QWidget owner;
    owner.setWindowTitle(QStringLiteral("Calmora   bench.png"));
    FormDenoise dialog(&owner, host);
    if (!dialog.Load()) {
        std::fprintf(stderr, "the dialog could not be opened\n");
        std::exit(2);
    }
    dialog.findChild<QScrollBar*>(QStringLiteral("HScrollSigma"))->setValue(sigma);
    dialog.findChild<QScrollBar*>(QStringLiteral("HScrollrw"))->setValue(radius);
    QApplication::processEvents();
    const Stopwatch watch;
    dialog.findChild<QPushButton*>(QStringLiteral("CmdOKDenoise"))->click();
    const Timing timing = watch.Read();
    handedBack = dialog.HandedBack();
    return timing;
}

// What the dialog does between two engine calls, without the engine: let
// pending events run and move the progress bar. Measured on its own because on
// a busy machine the difference of two long runs is mostly noise.
Timing RowLoopAlone(FakeHost& host) {
    QWidget owner;
    FormDenoise dialog(&owner, host);
    if (!dialog.Load()) std::exit(2);
    auto* bar = dialog.findChild<QFrame*>(QStringLiteral("Shape1"));
    const int full = bar->width();
    bar->show();
    dialog.findChild<QFrame*>(QStringLiteral("Shape2"))->show();
    QApplication::processEvents();
    const int32_t h = host.ImageHeight();
    const Stopwatch watch;
    for (int32_t row = 0; row < h; ++row) {
        QCoreApplication::processEvents();
        bar->resize(static_cast<int>(static_cast<double>(full) / h * row), bar->height());
    }
    return watch.Read();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int width = argc > 2 ? std::atoi(argv[1]) : 4000;
    const int height = argc > 2 ? std::atoi(argv[2]) : 3000;
    const int sigma = argc > 3 ? std::atoi(argv[3]) : 10;
    const int radius = argc > 4 ? std::atoi(argv[4]) : 5;
    const int repeats = argc > 5 ? std::atoi(argv[5]) : 1;
    CurrentPreferences().language = Language::English;

    std::printf("image %dx%d, sigma %d, radius %d\n", width, height, sigma, radius);
    Timing bestEngine{1e30, 1e30}, bestDialog{1e30, 1e30};
    auto added = [](double dialog, double engine) { return 100.0 * (dialog - engine) / engine; };
    for (int i = 0; i < repeats; ++i) {
        FakeHost host(width, height);
        std::vector<uint8_t> reference;
        const Timing engine = EngineAlone(host, sigma, radius, reference);
        bool handedBack = false;
        const Timing dialog = DialogRun(host, sigma, radius, handedBack);
        if (!handedBack || !SamePixels(host.ImageBits(), reference.data(), width, height)) {
            std::fprintf(stderr, "the dialog's result differs from the engine's\n");
            return 1;
        }
        std::printf("repeat %d: wall: engine %.3f s, dialog %.3f s (%+.2f %%); processor: engine "
                    "%.3f s, dialog %.3f s (%+.2f %%)\n",
                    i + 1, engine.wall, dialog.wall, added(dialog.wall, engine.wall),
                    engine.processor, dialog.processor, added(dialog.processor, engine.processor));
        std::fflush(stdout);
        bestEngine = {std::min(bestEngine.wall, engine.wall),
                      std::min(bestEngine.processor, engine.processor)};
        bestDialog = {std::min(bestDialog.wall, dialog.wall),
                      std::min(bestDialog.processor, dialog.processor)};
    }
    FakeHost host(width, height);
    const Timing loop = RowLoopAlone(host);
    std::printf("row loop without the engine (%d rows): wall %.1f ms (%.2f %% of the best engine "
                "time), processor %.1f ms (%.2f %%)\n",
                height, 1000 * loop.wall, 100.0 * loop.wall / bestEngine.wall,
                1000 * loop.processor, 100.0 * loop.processor / bestEngine.processor);
    std::printf("best of %d: wall %+.2f %%, processor %+.2f %% added by the dialog (goal: at most "
                "5 %%)\n",
                repeats, added(bestDialog.wall, bestEngine.wall),
                added(bestDialog.processor, bestEngine.processor));
    return 0;
}
