#include "ServedEditor.h"

#include "host/Attach.h"
#include "host/memory/MemoryHost.h"

namespace tagwright::test {

using namespace host;

InProcessEditor::InProcessEditor(memory::Design d)
    : design(std::make_shared<memory::Design>(std::move(d))) {
    registration_.emplace(recordCalls(memory::makeApplication(design), log), editorProgId,
                          com::testServerClsid);
}

memory::Design InProcessEditor::finish() {
    registration_.reset();
    return *design;
}

} // namespace tagwright::test
