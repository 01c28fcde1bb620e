#include "ServedEditor.h"

#include "host/com/ComAttach.h"
#include "host/memory/MemoryHost.h"

namespace tagwright::test {

using namespace host;

HostApplication attachTestEditor() {
    return com::attachRunningObject(com::testServerProgId);
}

InProcessEditor::InProcessEditor(memory::Design d, com::ServingOptions options)
    : design(std::make_shared<memory::Design>(std::move(d))) {
    registration_.emplace(recordCalls(memory::makeApplication(design), log), com::testServerClsid,
                          options, com::testProgIdClass());
}

memory::Design InProcessEditor::finish() {
    registration_.reset();
    return *design;
}

} // namespace tagwright::test
