// The core's costs on generated boards, in-memory (no process boundary): what a run costs
// before any host latency is added.
#include "host/CallDelay.h"
#include "host/CallTrace.h"
#include "host/memory/BoardGenerator.h"
#include "host/memory/MemoryHost.h"
#include "labels/AddLabels.h"
#include "maintenance/Locate.h"
#include "maintenance/RemoveLabels.h"
#include "support/CallRecorder.h"
#include "window/RunMonitor.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

using namespace tagwright;

namespace {

// 10k components of 10 pins: 100k pins, and 20k vias.
const host::memory::Design& bigBoard() {
    static const host::memory::Design board = host::memory::generateBoard({.components = 10000,
                                                                           .pinsPerComponent = 10,
                                                                           .nets = 5000,
                                                                           .netClasses = 8,
                                                                           .vias = 20000});
    return board;
}

// A toolkit that shows nothing and has nothing to do: what the run pays for being watched is
// then the watching alone. Keeps the time of each turn of its event loop.
class QuietControls : public window::ProgressControls {
  public:
    std::vector<Clock::time_point> turns;

    void blockInput(bool) override {}
    void processEvents() override { turns.push_back(Clock::now()); }
    void showProgress(bool) override {}
    void setProgress(const std::u16string&, int, int) override {}
    void closeProgress() override {}
    void setBusy(bool) override {}
    void showMessage(const std::u16string&, const std::u16string&) override {}
};

run::LabelRequest requestFor(const host::memory::Design& design, std::int16_t type) {
    run::LabelRequest request;
    request.labelType = type;
    request.fontHeight = u"15";
    request.fontWidth = u"1";
    request.rotation = u"00";
    request.vias = true;
    for (const auto& c : design.components) {
        request.components.push_back({c.name, false});
    }
    for (const auto& n : design.nets) {
        request.nets.push_back({n.name, false});
    }
    return request;
}

// Argument 1: the run watched as the window watches it, a clock reading per step and a turn
// of the (empty) event loop every interval; 0: unwatched.
void netNameRunWithVias(benchmark::State& state) {
    auto request = requestFor(bigBoard(), run::NetNameLabel);
    const bool watched = state.range(0) != 0;
    std::size_t labelsPlaced = 0;
    QuietControls controls;
    for (auto _ : state) {
        state.PauseTiming();
        auto design = std::make_shared<host::memory::Design>(bigBoard());
        host::HostDocument document(host::memory::makeDocument(design));
        labels::ComponentMask mask;
        std::optional<window::RunMonitor> monitor;
        if (watched) {
            monitor.emplace(controls, true);
        }
        state.ResumeTiming();
        labels::addLabels(document, request, mask, nullptr, monitor ? &*monitor : nullptr);
        state.PauseTiming();
        labelsPlaced = design->texts.size();
        design.reset(); // freeing 120k labels is not part of the run
        state.ResumeTiming();
    }
    state.counters["labels"] = static_cast<double>(labelsPlaced);
}
BENCHMARK(netNameRunWithVias)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One step's watching alone, for a run whose steps cost nothing: the upper bound of what the
// watching adds to each label.
void watchedStep(benchmark::State& state) {
    QuietControls controls;
    window::RunMonitor monitor(controls, true);
    run::RunProgress& progress = monitor;
    std::size_t done = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(progress.proceed(run::RunStage::Components, done++, 10000));
    }
}
BENCHMARK(watchedStep);

// The longest the window goes without a turn of its event loop while a run works over a slow
// host: every call waits the argument in microseconds (3000: about what a label costs across
// processes under an emulated system). From the start of the run to its end.
void eventGapOfSlowRun(benchmark::State& state) {
    const auto board = host::memory::generateBoard(
        {.components = 20, .pinsPerComponent = 10, .nets = 20, .netClasses = 2, .vias = 20});
    auto request = requestFor(board, run::NetNameLabel);
    const std::chrono::microseconds delay(state.range(0));
    double perLabel = 0;
    std::vector<double> gaps;
    for (auto _ : state) {
        auto design = std::make_shared<host::memory::Design>(board);
        host::HostDocument document(host::delayCalls(host::memory::makeDocument(design), delay));
        labels::ComponentMask mask;
        QuietControls controls;
        const auto start = window::ProgressControls::Clock::now();
        {
            window::RunMonitor monitor(controls, true);
            labels::addLabels(document, request, mask, nullptr, &monitor);
        }
        const auto end = window::ProgressControls::Clock::now();
        auto last = start;
        controls.turns.push_back(end);
        for (const auto turn : controls.turns) {
            gaps.push_back(std::chrono::duration<double, std::milli>(turn - last).count());
            last = turn;
        }
        perLabel = std::chrono::duration<double, std::milli>(end - start).count() /
                   static_cast<double>(design->texts.size());
    }
    // The longest gap, and the one that all but 1 % stay below: a loaded machine that parks the
    // thread now and then shows in the first, the run's own pace in the second.
    std::sort(gaps.begin(), gaps.end());
    state.counters["longest_gap_ms"] = gaps.back();
    state.counters["p99_gap_ms"] = gaps[gaps.size() * 99 / 100];
    state.counters["ms_per_label"] = perLabel;
}
BENCHMARK(eventGapOfSlowRun)->Arg(300)->Arg(3000)->Iterations(1)->Unit(benchmark::kMillisecond);

void hostCallsPerLabel(benchmark::State& state) {
    auto type = static_cast<std::int16_t>(state.range(0));
    auto board = host::memory::generateBoard({.components = 1000, .pinsPerComponent = 10});
    auto request = requestFor(board, type);
    request.vias = false;
    double perLabel = 0;
    for (auto _ : state) {
        auto design = std::make_shared<host::memory::Design>(board);
        auto log = std::make_shared<host::CallLog>();
        host::HostDocument document(host::recordCalls(host::memory::makeDocument(design), log));
        labels::ComponentMask mask;
        labels::addLabels(document, request, mask, [](const auto&, const auto&) {});
        perLabel =
            static_cast<double>(log->calls.size()) / static_cast<double>(design->texts.size());
    }
    state.counters["calls_per_label"] = perLabel;
}
BENCHMARK(hostCallsPerLabel)
    ->Arg(run::NetNameLabel)
    ->Arg(run::PinNumberLabel)
    ->Arg(run::NetClassLabel)
    ->Unit(benchmark::kMillisecond);

// What the trace costs a net-name run, with vias. Argument 1: 0 without it (the decorator is
// not installed, so this is the plain run), 1 traced into a file. Argument 2: microseconds every
// call waits first, as a call into another process does (0: the in-memory host alone, where
// the trace's own cost shows in full).
void tracedNetNameRun(benchmark::State& state) {
    static const auto board = host::memory::generateBoard(
        {.components = 1000, .pinsPerComponent = 10, .nets = 500, .netClasses = 8, .vias = 2000});
    auto request = requestFor(board, run::NetNameLabel);
    const bool traced = state.range(0) != 0;
    const std::chrono::microseconds latency(state.range(1));
    const auto file = std::filesystem::temp_directory_path() / "tagwright-bench-trace.txt";
    std::size_t calls = 0;
    {
        auto design = std::make_shared<host::memory::Design>(board);
        auto log = std::make_shared<host::CallLog>();
        labels::ComponentMask mask;
        labels::addLabels(
            host::HostDocument(host::recordCalls(host::memory::makeDocument(design), log)), request,
            mask, nullptr);
        calls = log->calls.size();
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto design = std::make_shared<host::memory::Design>(board);
        host::ObjectRef object = host::memory::makeDocument(design);
        if (latency.count() > 0) {
            object = host::delayCalls(object, latency);
        }
        if (traced) {
            object = host::traceCalls(object, host::openTraceFile(file));
        }
        host::HostDocument document(object);
        object.reset();
        labels::ComponentMask mask;
        state.ResumeTiming();
        labels::addLabels(document, request, mask, nullptr);
        state.PauseTiming();
        document = {}; // closing the file is not part of the run
        design.reset();
        state.ResumeTiming();
    }
    std::filesystem::remove(file);
    state.counters["calls"] = static_cast<double>(calls);
    state.counters["us_per_call"] = benchmark::Counter(
        static_cast<double>(calls) * 1e-6,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(tracedNetNameRun)
    ->ArgsProduct({{0, 1}, {0, 20}})
    ->ArgNames({"trace", "latency_us"})
    ->Unit(benchmark::kMillisecond);

// Equal component names are legal in a design; each labelled component is still one lookup.
void pinNumberRunWithRepeatedName(benchmark::State& state) {
    const auto board = host::memory::generateBoard(
        {.components = 20000, .pinsPerComponent = 1, .nets = 2000, .repeatedNames = 1});
    auto request = requestFor(board, run::PinNumberLabel);
    request.unusedPins = true;
    for (auto _ : state) {
        state.PauseTiming();
        auto design = std::make_shared<host::memory::Design>(board);
        host::HostDocument document(host::memory::makeDocument(design));
        labels::ComponentMask mask;
        state.ResumeTiming();
        labels::addLabels(document, request, mask, nullptr);
        state.PauseTiming();
        if (design->texts.size() != 20000) {
            state.SkipWithError("not every component was labelled");
        }
        design.reset();
        state.ResumeTiming();
    }
    state.counters["components"] = 20000;
}
BENCHMARK(pinNumberRunWithRepeatedName)->Unit(benchmark::kMillisecond);

void removeLabels(benchmark::State& state) {
    auto labelled = host::memory::generateBoard({.components = 10, .texts = 100000});
    for (auto _ : state) {
        state.PauseTiming();
        auto design = host::memory::separateCopy(labelled);
        host::HostDocument document(host::memory::makeDocument(design));
        state.ResumeTiming();
        maintenance::removeLabels(document, u"网络名称", nullptr);
        state.PauseTiming();
        if (design->liveTextCount() != 0) {
            state.SkipWithError("labels left behind");
        }
        design.reset();
        state.ResumeTiming();
    }
    state.counters["labels"] = 100000;
}
BENCHMARK(removeLabels)->Unit(benchmark::kMillisecond);

void locateNets(benchmark::State& state) {
    auto board = host::memory::generateBoard({.components = 10, .nets = 50000});
    auto design = std::make_shared<host::memory::Design>(board);
    host::HostDocument document(host::memory::makeDocument(design));
    auto request = requestFor(*design, run::NetNameLabel);
    for (std::size_t i = 0; i < request.nets.size(); i += 3) {
        request.nets[i].selected = true;
    }
    for (auto _ : state) {
        maintenance::locate(document, maintenance::LocateTarget::Nets, request.nets, nullptr);
    }
    state.counters["nets"] = 50000;
}
BENCHMARK(locateNets)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
