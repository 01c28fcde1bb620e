#pragma once

#include "host/HostRoles.h"
#include "host/Text.h"
#include "host/memory/DesignFile.h"
#include "host/memory/MemoryHost.h"
#include "support/CallRecorder.h"

#include <memory>
#include <string>

namespace tagwright::test {

// A small board with every case the label rules tell apart: a net without a class, a pin on
// no net, a pin without a name, a via on no net, a locked text.
inline const char* const smallBoard = R"({
  "unit": 2,
  "layers": ["Top", "Bottom", "Silkscreen Top"],
  "netClasses": ["POWER", "SIGNAL"],
  "nets": [ { "name": "GND", "netClass": "POWER" }, { "name": "SDA", "netClass": "SIGNAL" },
            { "name": "NC1" } ],
  "components": [
    { "name": "U1", "pins": [
        { "name": "1", "number": 1, "x": 100, "y": 200, "net": "GND" },
        { "name": "2", "number": 2, "x": 150, "y": 200, "net": "SDA" },
        { "name": "", "number": 12, "x": 200, "y": 200, "net": "NC1" },
        { "name": "4", "number": 4, "x": 250, "y": 200 } ] },
    { "name": "R1", "pins": [
        { "name": "1", "number": 1, "x": 10, "y": 20, "net": "SDA" },
        { "name": "2", "number": 2, "x": 30, "y": 20, "net": "GND" } ] }
  ],
  "vias": [ { "x": 300, "y": 40, "net": "SDA" }, { "x": 310, "y": 40 },
            { "x": 320, "y": 40, "net": "NC1" } ],
  "texts": [ { "text": "{NOTE}", "layer": 1 }, { "text": "keep", "layer": 1 } ]
})";

struct TestHost {
    std::shared_ptr<host::memory::Design> design;
    std::shared_ptr<host::CallLog> log = std::make_shared<host::CallLog>();
    host::HostDocument document;

    explicit TestHost(const std::string& json = smallBoard)
        : design(std::make_shared<host::memory::Design>(host::memory::parseDesign(json, "test"))),
          document(host::recordCalls(host::memory::makeDocument(design), log)) {}
    explicit TestHost(host::memory::Design d)
        : design(std::make_shared<host::memory::Design>(std::move(d))),
          document(host::recordCalls(host::memory::makeDocument(design), log)) {}

    std::vector<std::u16string> texts() const {
        std::vector<std::u16string> out;
        for (const auto& t : design->texts) {
            if (!t->deleted) {
                out.push_back(t->text);
            }
        }
        return out;
    }
};

} // namespace tagwright::test
