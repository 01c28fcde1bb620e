// What a call to the editor costs across processes, with and without the member id cache, and
// what a whole net-name run costs per label. Run it where the editor would run (under Wine here):
//
//   tagwright_com_bench [COMPONENTS]

#include "host/com/ComApartment.h"
#include "host/com/ComAttach.h"
#include "host/com/DispatchObject.h"
#include "host/memory/BoardGenerator.h"
#include "host/memory/MemoryHost.h"
#include "labels/AddLabels.h"
#include "standin-com/ActiveObjectRegistration.h"
#include "standin-com/HostDispatch.h"
#include "standin-com/ServerProcess.h"
#include "support/CallRecorder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

using namespace tagwright;
using Clock = std::chrono::steady_clock;

namespace {

double microsecondsPer(int count, const std::function<void()>& body) {
    auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        body();
    }
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / count;
}

// One read of the document's unit: with the id the client learnt, and the way a client without
// a cache must do it, asking for the id first.
void measureLatency(const char* where, const host::HostDocument& document) {
    constexpr int calls = 2000;
    auto* remote = dynamic_cast<host::com::DispatchObject*>(document.object().get());
    IDispatch* dispatch = remote->dispatch();
    double cached = microsecondsPer(calls, [&] { document.unit(); });
    double uncached = microsecondsPer(calls, [&] {
        wchar_t name[] = L"Unit";
        LPOLESTR names[] = {name};
        DISPID id = 0;
        dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        DISPPARAMS none{};
        host::com::Variant result;
        dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                         &none, result.get(), nullptr, nullptr);
    });
    // How a client learns an object's type; the description comes back as an interface.
    double type = microsecondsPer(calls, [&] {
        host::com::ComPtr<ITypeInfo> info;
        dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put());
    });
    // Every object handed out is released again, which out of process is a call of its own.
    double object = microsecondsPer(calls, [&] { document.view(); });
    std::printf("%-22s call latency: %8.1f us with the id cache, %8.1f us without, %8.1f us to "
                "ask the type, %8.1f us to fetch and drop an object\n",
                where, cached, uncached, type, object);
}

void measureNetNameRun(const char* where, const host::HostDocument& attached,
                       const host::memory::BoardShape& shape) {
    auto log = std::make_shared<host::CallLog>();
    host::HostDocument document(host::recordCalls(attached.object(), log));
    run::LabelRequest request;
    request.labelType = run::NetNameLabel;
    request.fontHeight = u"15";
    request.fontWidth = u"1";
    request.rotation = u"00";
    request.vias = true;
    for (const auto& component : host::memory::generateBoard(shape).components) {
        request.components.push_back({component.name});
    }
    labels::ComponentMask mask;
    auto& counts = host::com::HostDispatch::counts;
    std::size_t ids = counts.nameLookups, types = counts.typeInfos, invokes = counts.invokes,
                batches = counts.batches;
    auto start = Clock::now();
    labels::addLabels(document, request, mask, nullptr);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::size_t placed = log->count(u"AddText");
    std::printf("%-22s net-name run: %zu labels in %.2f s, %.1f host calls and %.0f us per label\n",
                where, placed, seconds, static_cast<double>(log->calls.size()) / placed,
                seconds * 1e6 / placed);
    // The served objects count what reaches them only when they live in this process.
    if (counts.invokes != invokes) {
        auto per = [placed](std::size_t n) { return static_cast<double>(n) / placed; };
        std::printf("%-22s IDispatch calls per label: %.2f (GetIDsOfNames %.2f, GetTypeInfo %.2f, "
                    "Invoke %.2f, IEnumVARIANT::Next %.2f)\n",
                    where,
                    per(counts.nameLookups - ids + counts.typeInfos - types + counts.invokes -
                        invokes + counts.batches - batches),
                    per(counts.nameLookups - ids), per(counts.typeInfos - types),
                    per(counts.invokes - invokes), per(counts.batches - batches));
    }
}

} // namespace

int main(int argc, char** argv) {
    host::memory::BoardShape shape; // 100 components of 10 pins, 200 nets, 100 vias
    if (argc > 1) {
        shape.components = std::atoi(argv[1]);
    }
    host::com::ComApartment apartment;
    // A server whose objects describe their type shares member ids between objects of a type;
    // without, the client learns them object by object.
    for (bool typed : {true, false}) {
        std::string inProcess = typed ? "in process" : "in process, untyped";
        std::string otherProcess = typed ? "other process" : "other process, untyped";
        {
            auto design =
                std::make_shared<host::memory::Design>(host::memory::generateBoard(shape));
            host::com::ServingOptions serving;
            serving.typeInfo = typed;
            host::com::ActiveObjectRegistration served(host::memory::makeApplication(design),
                                                       host::com::testServerClsid, serving,
                                                       host::com::testProgIdClass());
            host::HostDocument document =
                host::com::attachRunningObject(host::com::testServerProgId).activeDocument();
            measureLatency(inProcess.c_str(), document);
            measureNetNameRun(inProcess.c_str(), document, shape);
        }
        {
            host::com::ServerOptions options;
            options.typeInfo = typed;
            host::com::ServerProcess server(host::memory::generateBoard(shape), options);
            host::HostDocument document =
                host::com::attachRunningObject(host::com::testServerProgId).activeDocument();
            measureLatency(otherProcess.c_str(), document);
            measureNetNameRun(otherProcess.c_str(), document, shape);
        }
    }
    return 0;
}
