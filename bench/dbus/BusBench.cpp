// The host link over the session bus against the stand-in editor in its own process: the
// bus's own round trip (the floor), one late-bound call, and a net-name run on a 10k-pin
// board compared with what its host calls must cost at the floor.
// Run it on a bus of its own: dbus-run-session -- tagwright_dbus_bench
#include "host/Attach.h"
#include "host/EditorWait.h"
#include "host/dbus/Protocol.h"
#include "host/memory/BoardGenerator.h"
#include "host/memory/DesignFile.h"
#include "labels/AddLabels.h"
#include "support/CallRecorder.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

using namespace tagwright;

namespace {

constexpr std::int32_t components = 1000, pinsPerComponent = 10; // 10k pins

// The stand-in serving a generated board, started once for each way of running it: without
// a window, or with its board window showing every label as it lands (offscreen where there
// is no display, which draws all the same).
class Editor {
  public:
    explicit Editor(bool window) {
        const auto board = host::memory::generateBoard({.components = components,
                                                        .pinsPerComponent = pinsPerComponent,
                                                        .nets = 500,
                                                        .netClasses = 4,
                                                        .vias = 0});
        for (const auto& c : board.components) {
            request_.components.push_back({c.name, false});
        }
        for (const auto& n : board.nets) {
            request_.nets.push_back({n.name, false});
        }
        request_.labelType = run::NetNameLabel;
        request_.fontHeight = u"15";
        request_.fontWidth = u"1";
        request_.rotation = u"00";
        const QString path = dir_.filePath(QStringLiteral("board.json"));
        host::memory::saveDesign(board, path.toStdString());
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (window && !environment.contains(QStringLiteral("DISPLAY"))) {
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        }
        process_.setProcessEnvironment(environment);
        process_.start(QStringLiteral(EDITOR_STANDIN),
                       window ? QStringList{path}
                              : QStringList{QStringLiteral("--headless"), path});
        while (!output_.contains("serving ") && process_.waitForReadyRead(30'000)) {
            output_ += process_.readAllStandardOutput();
        }
    }
    ~Editor() {
        process_.kill();
        process_.waitForFinished();
    }
    bool serving() const { return output_.contains("serving "); }
    // Processor time the editor has used so far, in seconds.
    double cpuSeconds() const {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(process_.processId()));
        if (!stat.open(QIODevice::ReadOnly)) {
            return 0;
        }
        const QByteArray line = stat.readAll();
        // Fields after the command name, which is in parentheses and may hold blanks.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
        return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
    const run::LabelRequest& request() const { return request_; }

  private:
    QTemporaryDir dir_;
    QProcess process_;
    QByteArray output_;
    run::LabelRequest request_;
};

// One editor at a time can serve under the editor's name.
Editor& editor(bool window = false) {
    static std::unique_ptr<Editor> instance;
    static bool withWindow = false;
    if (!instance || withWindow != window) {
        instance.reset();
        instance = std::make_unique<Editor>(window);
        withWindow = window;
    }
    return *instance;
}

// What a run gives the link to hear about slow calls; it never stops waiting. A run that
// watches its calls must not make each of them slower.
class PatientRun : public host::EditorWaitWatcher {
  public:
    bool editorWaiting(host::EditorWaitReason, std::chrono::milliseconds,
                       std::chrono::milliseconds) override {
        return true;
    }
} patientRun;

QDBusMessage ping() {
    auto message = QDBusMessage::createMethodCall(
        QLatin1String(host::dbus::serviceName), QLatin1String(host::dbus::objectPath),
        QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    message.setAutoStartService(false);
    return message;
}

// The time `count` calls of `message` take, in seconds.
double repeatSeconds(const QDBusMessage& message, std::size_t count) {
    auto bus = QDBusConnection::sessionBus();
    QElapsedTimer timer;
    timer.start();
    for (std::size_t i = 0; i < count; ++i) {
        bus.call(message, QDBus::Block);
    }
    return static_cast<double>(timer.nsecsElapsed()) * 1e-9;
}

double median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// A call the server refuses at once: the bus plus the server's own dispatch, no host object.
QDBusMessage refused() {
    auto message = QDBusMessage::createMethodCall(
        QLatin1String(host::dbus::serviceName), QLatin1String(host::dbus::objectPath),
        QLatin1String(host::dbus::interfaceName), QStringLiteral("Enumerate"));
    message << QVariant::fromValue(qulonglong{0}) << 0u;
    return message;
}

bool ready(benchmark::State& state, bool window = false) {
    if (!editor(window).serving()) {
        state.SkipWithError("the stand-in editor did not start (is there a session bus?)");
        return false;
    }
    return true;
}

void busRoundTrip(benchmark::State& state) {
    if (!ready(state)) {
        return;
    }
    const QDBusMessage message = ping();
    auto bus = QDBusConnection::sessionBus();
    for (auto _ : state) {
        benchmark::DoNotOptimize(bus.call(message, QDBus::Block));
    }
}
BENCHMARK(busRoundTrip)->Unit(benchmark::kMicrosecond);

void refusedCall(benchmark::State& state) {
    if (!ready(state)) {
        return;
    }
    const QDBusMessage message = refused();
    auto bus = QDBusConnection::sessionBus();
    for (auto _ : state) {
        benchmark::DoNotOptimize(bus.call(message, QDBus::Block));
    }
}
BENCHMARK(refusedCall)->Unit(benchmark::kMicrosecond);

void hostCall(benchmark::State& state) {
    if (!ready(state, state.range(0) != 0)) {
        return;
    }
    const host::HostDocument document = host::attachRunningEditor().activeDocument();
    std::optional<host::EditorWaitScope> watched;
    if (state.range(1) != 0) {
        watched.emplace(patientRun);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(document.unit());
    }
}
BENCHMARK(hostCall)
    ->ArgNames({"window", "watched"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Unit(benchmark::kMicrosecond);

void hostCallReturningObject(benchmark::State& state) {
    if (!ready(state)) {
        return;
    }
    const host::HostDocument document = host::attachRunningEditor().activeDocument();
    for (auto _ : state) {
        benchmark::DoNotOptimize(document.view());
    }
}
BENCHMARK(hostCallReturningObject)->Unit(benchmark::kMicrosecond);

// Each run is followed by as many bare round trips as it made host calls, and as many calls
// refused at the server's door, so all three meet the same load on a shared machine. The
// overheads are median ratios: over the bus alone, and over the bus plus the server's
// dispatch (a thread hop inside QtDBus that every served call pays).
void netNameRun(benchmark::State& state) {
    const bool window = state.range(0) != 0;
    if (!ready(state, window)) {
        return;
    }
    state.SetLabel(window ? "with the board window" : "headless");
    std::optional<host::EditorWaitScope> watched;
    if (state.range(1) != 0) {
        watched.emplace(patientRun);
    }
    const host::HostDocument document = host::attachRunningEditor().activeDocument();
    labels::ComponentMask mask;

    auto log = std::make_shared<host::CallLog>();
    labels::addLabels(host::HostDocument(host::recordCalls(document.object(), log)),
                      editor(window).request(), mask, nullptr);
    const std::size_t calls = log->calls.size();

    std::vector<double> runs, pings, refusals, overPing, overRefused, editorCpu;
    for (auto _ : state) {
        QElapsedTimer timer;
        const double editorBefore = editor(window).cpuSeconds();
        timer.start();
        labels::addLabels(document, editor(window).request(), mask, nullptr);
        const double run = static_cast<double>(timer.nsecsElapsed()) * 1e-9;
        editorCpu.push_back(editor(window).cpuSeconds() - editorBefore);
        state.SetIterationTime(run);
        runs.push_back(run);
        pings.push_back(repeatSeconds(ping(), calls));
        refusals.push_back(repeatSeconds(refused(), calls));
        overPing.push_back(run / pings.back() - 1);
        overRefused.push_back(run / refusals.back() - 1);
    }
    const auto perCall = [&](double seconds) { return seconds / static_cast<double>(calls) * 1e6; };
    state.counters["host_calls"] = static_cast<double>(calls);
    state.counters["run_ms"] = median(runs) * 1e3;
    state.counters["ping_us"] = perCall(median(pings));
    state.counters["refused_us"] = perCall(median(refusals));
    state.counters["editor_cpu_us"] = perCall(median(editorCpu));
    state.counters["over_ping_pct"] = median(overPing) * 100;
    state.counters["over_refused_pct"] = median(overRefused) * 100;
}
// Twice each way, taking turns, so that a shared machine's slow minute meets all.
BENCHMARK(netNameRun)
    ->ArgNames({"window", "watched"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseManualTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
