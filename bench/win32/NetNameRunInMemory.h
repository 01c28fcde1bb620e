#pragma once

#include "host/memory/MemoryHost.h"
#include "labels/AddLabels.h"
#include "support/CallRecorder.h"

#include <memory>

namespace tagwright::bench {

// What the net-name run with vias that the Windows benchmarks click costs on the design in
// memory: the host calls it makes and the labels it places, to set the program's run against.
struct NetNameRunCost {
    std::size_t calls = 0;
    std::size_t labels = 0;
};

inline NetNameRunCost netNameRunInMemory(const host::memory::Design& board) {
    auto design = std::make_shared<host::memory::Design>(board);
    auto log = std::make_shared<host::CallLog>();
    host::HostDocument document(host::recordCalls(host::memory::makeDocument(design), log));
    run::LabelRequest request;
    request.labelType = run::NetNameLabel;
    request.fontHeight = u"15";
    request.fontWidth = u"1";
    request.rotation = u"00";
    request.vias = true;
    for (const auto& component : design->components) {
        request.components.push_back({component.name});
    }
    labels::ComponentMask mask;
    labels::addLabels(document, request, mask, nullptr);
    return {log->calls.size(), log->count(u"AddText")};
}

} // namespace tagwright::bench
