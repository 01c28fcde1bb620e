// The core's costs on generated boards, in-memory (no process boundary): what a run costs
// before any host latency is added.
#include "host/CallRecorder.h"
#include "host/memory/BoardGenerator.h"
#include "host/memory/MemoryHost.h"
#include "labels/AddLabels.h"
#include "maintenance/Locate.h"
#include "maintenance/RemoveLabels.h"

#include <benchmark/benchmark.h>

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

labels::WindowSnapshot windowFor(const host::memory::Design& design, std::int16_t type) {
    labels::WindowSnapshot window;
    window.labelType = type;
    window.fontHeight = u"15";
    window.fontWidth = u"1";
    window.rotation = u"00";
    window.vias = true;
    for (const auto& c : design.components) {
        window.components.push_back({c.name, false});
    }
    for (const auto& n : design.nets) {
        window.nets.push_back({n.name, false});
    }
    return window;
}

void netNameRunWithVias(benchmark::State& state) {
    auto window = windowFor(bigBoard(), labels::NetNameLabel);
    std::size_t labelsPlaced = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto design = std::make_shared<host::memory::Design>(bigBoard());
        host::HostDocument document(host::memory::makeDocument(design));
        labels::ComponentMask mask;
        state.ResumeTiming();
        labels::addLabels(document, window, mask, nullptr);
        state.PauseTiming();
        labelsPlaced = design->texts.size();
        design.reset(); // freeing 120k labels is not part of the run
        state.ResumeTiming();
    }
    state.counters["labels"] = static_cast<double>(labelsPlaced);
}
BENCHMARK(netNameRunWithVias)->Unit(benchmark::kMillisecond);

void hostCallsPerLabel(benchmark::State& state) {
    auto type = static_cast<std::int16_t>(state.range(0));
    auto board = host::memory::generateBoard({.components = 1000, .pinsPerComponent = 10});
    auto window = windowFor(board, type);
    window.vias = false;
    double perLabel = 0;
    for (auto _ : state) {
        auto design = std::make_shared<host::memory::Design>(board);
        auto log = std::make_shared<host::CallLog>();
        host::HostDocument document(host::recordCalls(host::memory::makeDocument(design), log));
        labels::ComponentMask mask;
        labels::addLabels(document, window, mask, [](const auto&, const auto&) {});
        perLabel =
            static_cast<double>(log->calls.size()) / static_cast<double>(design->texts.size());
    }
    state.counters["calls_per_label"] = perLabel;
}
BENCHMARK(hostCallsPerLabel)
    ->Arg(labels::NetNameLabel)
    ->Arg(labels::PinNumberLabel)
    ->Arg(labels::NetClassLabel)
    ->Unit(benchmark::kMillisecond);

// Equal component names are legal in a design; each labelled component is still one lookup.
void pinNumberRunWithRepeatedName(benchmark::State& state) {
    const auto board = host::memory::generateBoard(
        {.components = 20000, .pinsPerComponent = 1, .nets = 2000, .repeatedNames = 1});
    auto window = windowFor(board, labels::PinNumberLabel);
    window.unusedPins = true;
    for (auto _ : state) {
        state.PauseTiming();
        auto design = std::make_shared<host::memory::Design>(board);
        host::HostDocument document(host::memory::makeDocument(design));
        labels::ComponentMask mask;
        state.ResumeTiming();
        labels::addLabels(document, window, mask, nullptr);
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
        auto design = std::make_shared<host::memory::Design>(labelled);
        // Copies share the text records; give this run its own.
        for (auto& text : design->texts) {
            text = std::make_shared<host::memory::TextData>(*text);
        }
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
    auto window = windowFor(*design, labels::NetNameLabel);
    for (std::size_t i = 0; i < window.nets.size(); i += 3) {
        window.nets[i].selected = true;
    }
    for (auto _ : state) {
        maintenance::locate(document, maintenance::LocateTarget::Nets, window.nets, nullptr);
    }
    state.counters["nets"] = 50000;
}
BENCHMARK(locateNets)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
