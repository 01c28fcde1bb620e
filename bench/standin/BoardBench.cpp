// The stand-in's board window on a generated 100k-pin board with 20k labels: how long the
// design takes from its file to the first picture, and what one frame of a pan or a zoom
// costs with the whole board in view, a tenth of it, and a hundredth. Runs offscreen by
// itself.
#include "host/memory/BoardGenerator.h"
#include "host/memory/DesignFile.h"
#include "standin/BoardView.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QWindow>
#include <benchmark/benchmark.h>

#include <memory>

using namespace tagwright;

namespace {

const host::memory::BoardShape largeBoard{.components = 10'000,
                                          .pinsPerComponent = 10,
                                          .nets = 5'000,
                                          .netClasses = 8,
                                          .vias = 5'000,
                                          .texts = 20'000};

const std::filesystem::path& largeBoardFile() {
    static QTemporaryDir dir;
    static const std::filesystem::path path = [] {
        std::filesystem::path p = dir.filePath(QStringLiteral("large.json")).toStdString();
        host::memory::saveDesign(host::memory::generateBoard(largeBoard), p);
        return p;
    }();
    return path;
}

// From the file to the first whole picture in a window of a common size.
void openLargeDesign(benchmark::State& state) {
    const auto& file = largeBoardFile();
    for (auto _ : state) {
        auto design = std::make_shared<host::memory::Design>(host::memory::loadDesign(file));
        standin::BoardView view;
        view.resize(1200, 800);
        view.setScene(std::make_shared<standin::BoardScene>(design));
        benchmark::DoNotOptimize(view.grab());
    }
}
BENCHMARK(openLargeDesign)->Unit(benchmark::kMillisecond)->Iterations(3);

// One frame as a shown window paints it, with range(0) thousandths of the board's width in
// view: a drag moves the kept picture and draws the strips it uncovers; a zoom draws all
// that is in view.
void frame(benchmark::State& state, bool zoom) {
    auto design =
        std::make_shared<host::memory::Design>(host::memory::loadDesign(largeBoardFile()));
    standin::BoardView view;
    view.resize(1200, 800);
    auto scene = std::make_shared<standin::BoardScene>(design);
    view.setScene(scene);
    view.show();
    while (!view.windowHandle() || !view.windowHandle()->isExposed()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    const standin::Box all = scene->bounds();
    const double share = static_cast<double>(state.range(0)) / 1000;
    const double cx = (all.left + all.right) / 2, cy = (all.bottom + all.top) / 2;
    const double w = all.width() * share / 2, h = all.height() * share / 2;
    view.zoomTo({cx - w, cy - h, cx + w, cy + h});
    view.repaint();
    int step = 0;
    for (auto _ : state) {
        const bool back = ++step % 2 == 0;
        if (zoom) {
            view.zoomAt(QPointF(600, 400), back ? 1 / 1.2 : 1.2);
        } else {
            view.panBy(QPointF(back ? -7 : 7, 3));
        }
        view.repaint();
    }
    if (zoom) {
        state.counters["pins_and_texts_in_view"] =
            static_cast<double>(view.lastDrawn().pins.size() + view.lastDrawn().texts.size());
    }
}
void panFrame(benchmark::State& state) {
    frame(state, false);
}
void zoomFrame(benchmark::State& state) {
    frame(state, true);
}
// A frame during a labelling run over the bus: the labels that landed since the last frame
// (range(0) of them, spread over the board) drawn onto the kept picture, and shown.
void labelFrame(benchmark::State& state) {
    auto design = std::make_shared<host::memory::Design>(host::memory::generateBoard(
        {.components = 1000, .pinsPerComponent = 10, .nets = 500, .netClasses = 4, .vias = 0}));
    standin::BoardView view;
    view.resize(900, 620);
    view.setScene(std::make_shared<standin::BoardScene>(design));
    view.show();
    while (!view.windowHandle() || !view.windowHandle()->isExposed()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    view.repaint();
    std::size_t n = 0;
    for (auto _ : state) {
        for (std::int64_t i = 0; i < state.range(0); ++i, ++n) {
            const auto& pin = design->components[n * 7 % 1000].pins[n % 10];
            auto text = std::make_shared<host::memory::TextData>(host::memory::TextData{
                .text = u"{NET42}", .x = pin.x + 10, .y = pin.y + 10, .height = 15, .extra = {}});
            view.designChanged({host::memory::DesignChange::Kind::TextAdded, u"", text});
        }
        view.repaint();
    }
}
BENCHMARK(labelFrame)->ArgName("labels")->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

BENCHMARK(panFrame)
    ->ArgName("view_permille")
    ->Arg(1000)
    ->Arg(100)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(zoomFrame)
    ->ArgName("view_permille")
    ->Arg(1000)
    ->Arg(100)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
