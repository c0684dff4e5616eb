// Micro benchmarks: a whole tick against the same GL calls issued flat, the frame step's
// arithmetic, the facet split of a 100 MB STL text, its load from a file, and getNumber.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/ArController.h"
#include "flat_tick.h"
#include "platform/Bundle.h"
#include "platform/Headless.h"
#include "platform/Strings.h"
#include "view/OpGlView.h"

namespace {
constexpr int side = 720;

HeadlessContext& context() {
    static HeadlessContext c(side, side);
    return c;
}

// glFinish makes each iteration include the rendering, not only the queueing.
void BM_Tick(benchmark::State& state) {
    context().makeCurrentContext();
    OpGlView view;
    context().attach(view);
    view.prepareOpenGL();
    ArController controller;
    controller.oglView = &view;
    controller.matrix = static_cast<double*>(std::calloc(16, sizeof(double)));
    for (auto _ : state) {
        controller.track(false);
        glFinish();
    }
}
BENCHMARK(BM_Tick)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void BM_FlatTick(benchmark::State& state) {
    context().makeCurrentContext();
    for (auto _ : state) {
        flatTick(side, side);
        context().flushBuffer();
        glFinish();
    }
}
BENCHMARK(BM_FlatTick)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void BM_FrameStepArithmetic(benchmark::State& state) {
    OpGlView view;
    view.keyUpArrow = view.keyRightArrow = view.keyInArrow = 1;
    view.zHead = 1.0f;
    for (auto _ : state) {
        view.stepHead();
        benchmark::DoNotOptimize(view.zHead);
    }
}
BENCHMARK(BM_FrameStepArithmetic);

// About 100 MB of the shipped teapot's facets, repeated.
std::shared_ptr<const std::string> hundredMegabytes() {
    static auto text = [] {
        auto path = Bundle::mainBundle().pathForResource("teapot10", "stl");
        auto teapot = stringWithContentsOfFile(path);
        if (!teapot) return std::shared_ptr<const std::string>();
        std::string body = teapot->substr(teapot->find("  facet normal"));
        body = body.substr(0, body.rfind("endsolid"));
        auto big = std::make_shared<std::string>("solid big\n");
        while (big->size() < 100'000'000) big->append(body);
        big->append("endsolid big\n");
        return std::shared_ptr<const std::string>(std::move(big));
    }();
    return text;
}

void BM_ChunkSplit(benchmark::State& state) {
    auto text = hundredMegabytes();
    if (!text) return state.SkipWithError("teapot10.stl not found");
    for (auto _ : state) {
        auto chunks = componentsSeparatedByString(text, "facet normal");
        benchmark::DoNotOptimize(chunks->count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text->size()));
}
BENCHMARK(BM_ChunkSplit)->Unit(benchmark::kMillisecond);

// The whole load of set-up: one read, the UTF-8 check, the split.
void BM_LoadFile(benchmark::State& state) {
    auto text = hundredMegabytes();
    if (!text) return state.SkipWithError("teapot10.stl not found");
    std::string path = std::filesystem::temp_directory_path() /
                       ("fishtank-bench-" + std::to_string(::getpid()) + ".stl");
    std::ofstream(path, std::ios::binary) << *text;
    for (auto _ : state) {
        auto chunks = componentsSeparatedByString(stringWithContentsOfFile(path), "facet normal");
        benchmark::DoNotOptimize(chunks->count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text->size()));
    std::filesystem::remove(path);
}
BENCHMARK(BM_LoadFile)->Unit(benchmark::kMillisecond);

void BM_GetNumber(benchmark::State& state) {
    const std::vector<std::string> numbers = {"1.234567e+00", "-9.269149e-01", "2.435438e+00",
                                              "0.000000e+00", "3.525000e+00",  "-1.425000e-01"};
    OpGlView view;
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(view.getNumber(numbers[i]));
        i = i + 1 == numbers.size() ? 0 : i + 1;
    }
}
BENCHMARK(BM_GetNumber);
}  // namespace

BENCHMARK_MAIN();
