// The cost of the decoding sandbox: LoadImageFile of the same picture with
// FreeImage in this process (CALMORA_DECODE_IN_PROCESS=1) and in its
// sandboxed child, in alternating pairs, each pair starting with the other
// kind, and the median of the pairs' ratios. Every load runs in a fresh
// process of its own, as a window program's first open would, so that neither
// kind inherits the other's warm heap. The pixels of both are compared.
//
//   calmora-load-bench [--pairs N] [--ballast MB] picture...
//
// --ballast gives each loading process MB of touched memory first: a window
// program is larger than this driver, and fork() copies its page tables.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "imagefiles/image_load.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Load {
    double ms = -1;
    unsigned long long checksum = 0;
};

// FNV-1a over every row's pixel bytes (not the padding).
unsigned long long Checksum(FIBITMAP* image) {
    unsigned long long h = 1469598103934665603ull;
    const unsigned width = FreeImage_GetWidth(image) * 3;
    for (unsigned y = 0; y < FreeImage_GetHeight(image); ++y) {
        const BYTE* row = FreeImage_GetScanLine(image, static_cast<int>(y));
        for (unsigned x = 0; x < width; ++x) h = (h ^ row[x]) * 1099511628211ull;
    }
    return h;
}

int LoadOnce(const char* path, long ballastMb) {
    std::vector<char> ballast(static_cast<size_t>(ballastMb) << 20, 1);
    const auto start = Clock::now();
    const calmora::LoadedImage loaded = calmora::LoadImageFile(path);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (loaded.error != calmora::ImageFileError::None) {
        std::fprintf(stderr, "%s: %s\n", path, calmora::DescribeImageFileError(loaded.error));
        return 1;
    }
    std::printf("%.1f %llu %zu\n", ms, Checksum(loaded.image.get()), ballast.size());
    return 0;
}

// One load in a new process of this program; ms < 0 when it failed.
Load Spawn(const std::string& path, bool inProcess, long ballastMb) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "CALMORA_DECODE_IN_PROCESS=", 26) != 0) env.emplace_back(*e);
    if (inProcess) env.emplace_back("CALMORA_DECODE_IN_PROCESS=1");
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string self = "/proc/self/exe", once = "--once", ballast = std::to_string(ballastMb);
    std::string file = path;
    char* argv[] = {self.data(), once.data(), file.data(), ballast.data(), nullptr};

    int out[2];
    if (pipe(out) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    // Its one line on stderr ("decoded without a sandbox") says what the pair already does.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char buffer[256];
    for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, got);
    close(out[0]);
    if (spawned != 0) return {};
    int status = 0;
    waitpid(pid, &status, 0);
    Load load;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::sscanf(text.c_str(), "%lf %llu", &load.ms, &load.checksum) != 2)
        return {};
    return load;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--once") == 0)
        return LoadOnce(argv[2], std::atol(argv[3]));
    int pairs = 9;
    long ballastMb = 0;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const bool valued = i + 1 < argc;
        if (valued && std::strcmp(argv[i], "--pairs") == 0) pairs = std::atoi(argv[++i]);
        else if (valued && std::strcmp(argv[i], "--ballast") == 0) ballastMb = std::atol(argv[++i]);
        else files.emplace_back(argv[i]);
    }
    if (files.empty() || pairs < 1) {
        std::fprintf(stderr, "usage: %s [--pairs N] [--ballast MB] picture...\n", argv[0]);
        return 2;
    }
    std::printf("load average at the start: %s\n", LoadAverage().c_str());
    int failures = 0;
    for (const std::string& file : files) {
        std::vector<double> inProcess, sandboxed, ratios;
        for (int pair = 0; pair < pairs; ++pair) {
            Load in, sandbox;
            if (pair % 2 == 0) {
                in = Spawn(file, true, ballastMb);
                sandbox = Spawn(file, false, ballastMb);
            } else {
                sandbox = Spawn(file, false, ballastMb);
                in = Spawn(file, true, ballastMb);
            }
            if (in.ms < 0 || sandbox.ms < 0 || in.checksum != sandbox.checksum) {
                std::printf("%s pair %d: a load failed or the pixels differ\n", file.c_str(), pair);
                ++failures;
                continue;
            }
            inProcess.push_back(in.ms);
            sandboxed.push_back(sandbox.ms);
            ratios.push_back(sandbox.ms / in.ms);
            std::printf("%s pair %d: in process %.1f ms, sandboxed %.1f ms, ratio %.3f\n",
                        file.c_str(), pair, in.ms, sandbox.ms, sandbox.ms / in.ms);
        }
        if (ratios.empty()) continue;
        std::printf("%s: median in process %.1f ms, sandboxed %.1f ms, median ratio %.3f "
                    "(%zu pairs)\n", file.c_str(), Median(inProcess), Median(sandboxed),
                    Median(ratios), ratios.size());
    }
    std::printf("load average at the end: %s\n", LoadAverage().c_str());
    return failures ? 1 : 0;
}
