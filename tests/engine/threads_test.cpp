// The engine's threads: calls from several threads at once, calls large enough
// to be split across the pool, and processes that fork or exit while the pool
// exists. Every result is compared with the oracle byte for byte. CTest also
// runs this binary with other KCDENOISE_THREADS values (fast_path.cmake).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "KcDenoise.h"
#include "denoise_run/weight_table.h"
#include "oracle.h"

using kc_oracle::FirstDifference;
using kc_oracle::ImageBytes;

namespace {

// One picture and its expected per-channel OUT results, shared by the tests.
struct Scene {
    int32_t width = 420, height = 40;
    DenoiseParams params{1, 5, 1, 2};
    ChannelFactors factors{1.0f, 0.37f, 0.0f};
    int16_t sigma = 10;
    std::vector<float> table = calmora::BuildWeightTable(sigma);
    std::vector<uint8_t> src, denoised, noise, viewDenoised, viewNoise;

    Scene() {
        const size_t bytes = ImageBytes(width, height);
        src.resize(bytes);
        kc_oracle::FillNoisyImage(src.data(), width, height, 31, 12);
        denoised.assign(bytes, 0);
        noise.assign(bytes, 0);
        viewDenoised.assign(bytes, 0);
        viewNoise.assign(bytes, 0);
        kc_oracle::OracleDenoise(Job(0, height - 1), params, src.data(), denoised.data(),
                                 table.data(), noise.data(), &factors, viewDenoised.data(),
                                 viewNoise.data());
    }

    DenoiseJob Job(int32_t first, int32_t last) const {
        return {first, last, width, height, calmora::WeightTableLength(sigma)};
    }

    // Runs the library over every row (one call, or one call per row) and
    // returns the first difference from the oracle, or empty.
    std::string RunAndCompare(bool rowByRow) const {
        const size_t bytes = src.size();
        std::vector<uint8_t> d(bytes, 0), n(bytes, 0), vd(bytes, 0), vn(bytes, 0);
        auto call = [&](int32_t first, int32_t last) {
            const DenoiseJob job = Job(first, last);
            KcDenoisePerCanaleOUT(&job, &params, src.data(), vd.data(), table.data(), vn.data(),
                                  &factors, d.data(), n.data());
        };
        if (rowByRow)
            for (int32_t y = 0; y < height; ++y) call(y, y);
        else
            call(0, height - 1);
        for (const auto& pair : {std::make_pair(&denoised, &d), std::make_pair(&noise, &n),
                                 std::make_pair(&viewDenoised, &vd), std::make_pair(&viewNoise, &vn)}) {
            std::string diff = FirstDifference(pair.first->data(), pair.second->data(), width,
                                               height, /*withPadding=*/true);
            if (!diff.empty()) return diff;
        }
        return {};
    }
};

const Scene& TheScene() {
    static const Scene scene;
    return scene;
}

// Several threads call at once, each with its own outputs: whichever of them
// gets the pool and whichever runs alone, all get the oracle's bytes.
TEST(Threads, ConcurrentCallsGiveTheSameBytes) {
    const Scene& scene = TheScene();
    constexpr int kCallers = 4;
    std::vector<std::string> results(kCallers * 3);
    std::vector<std::thread> callers;
    for (int i = 0; i < kCallers; ++i)
        callers.emplace_back([&, i] {
            for (int round = 0; round < 3; ++round)
                results[i * 3 + round] = scene.RunAndCompare(/*rowByRow=*/(i + round) % 2 == 0);
        });
    for (auto& t : callers) t.join();
    for (size_t i = 0; i < results.size(); ++i)
        EXPECT_TRUE(results[i].empty()) << "caller " << i / 3 << " round " << i % 3 << ": "
                                        << results[i];
}

// Many short calls in a row: the hand-off between caller and workers must
// neither lose a band nor let one call's work leak into the next.
TEST(Threads, ManyRowCallsInSequence) {
    const Scene& scene = TheScene();
    for (int round = 0; round < 5; ++round) {
        const std::string diff = scene.RunAndCompare(/*rowByRow=*/true);
        ASSERT_TRUE(diff.empty()) << "round " << round << ": " << diff;
    }
}

// Waits for a child process; false when it has not finished within the limit.
bool WaitForChild(pid_t child, int* status, std::chrono::seconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        const pid_t done = waitpid(child, status, WNOHANG);
        if (done == child) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(child, SIGKILL);
    waitpid(child, status, 0);
    return false;
}

// A forked child has none of the parent's workers; its calls must still finish
// with the right bytes, and it must be able to exit while the pool exists.
TEST(Threads, ForkedChildComputesAndExits) {
    const Scene& scene = TheScene();
    ASSERT_TRUE(scene.RunAndCompare(false).empty());  // the parent's pool now exists
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const bool same = scene.RunAndCompare(false).empty() && scene.RunAndCompare(true).empty();
        std::exit(same ? 0 : 3);  // runs the library's exit-time clean-up
    }
    int status = 0;
    ASSERT_TRUE(WaitForChild(child, &status, std::chrono::seconds(60)))
        << "child did not finish: a call or the exit hangs";
    ASSERT_TRUE(WIFEXITED(status)) << "child ended abnormally";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "child computed different bytes";
}

// The child process of ProcessExitsWithIdleWorkers, started afresh from this
// executable: its pool is made by a thread that has ended, then main returns.
// It is registered only in that child, so it is never listed as a test of its
// own. KC_THREADS_TEST_CHILD holds the descriptor it reports through once the
// bytes were right, so that the parent knows it ran at all.
class ChildProcessBody : public ::testing::Test {
    void TestBody() override {
        std::string diff;
        std::thread t([&] { diff = TheScene().RunAndCompare(true); });
        t.join();
        ASSERT_TRUE(diff.empty()) << diff;
        const int report = std::atoi(std::getenv("KC_THREADS_TEST_CHILD"));
        ASSERT_EQ(write(report, "ran", 3), 3);
        close(report);
    }
};
[[maybe_unused]] const bool kChildBodyRegistered =
    std::getenv("KC_THREADS_TEST_CHILD") != nullptr &&
    ::testing::RegisterTest("Threads", "ChildProcessBody", nullptr, nullptr, __FILE__, __LINE__,
                            []() -> ::testing::Test* { return new ChildProcessBody; }) != nullptr;

// A fresh process whose pool was made by a thread that has ended must still
// exit promptly when main returns, its workers asleep or spinning.
TEST(Threads, ProcessExitsWithIdleWorkers) {
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(report[0]);
        setenv("KC_THREADS_TEST_CHILD", std::to_string(report[1]).c_str(), 1);
        execl("/proc/self/exe", "threads_test", "--gtest_filter=Threads.ChildProcessBody",
              static_cast<char*>(nullptr));
        _exit(4);
    }
    close(report[1]);
    int status = 0;
    ASSERT_TRUE(WaitForChild(child, &status, std::chrono::seconds(60))) << "exit hangs";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "child failed (4: could not start)";
    char said[4] = {};
    const ssize_t got = read(report[0], said, sizeof said);
    close(report[0]);
    EXPECT_EQ(std::string(said, got > 0 ? static_cast<size_t>(got) : 0), "ran")
        << "the child's test did not run";
}

}  // namespace
