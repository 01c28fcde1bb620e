#include "host/Attach.h"
#include "host/Failure.h"

namespace tagwright::host {

// A build without a link to the editor still runs: it finds no editor, and the window says so.
HostApplication attachRunningEditor() {
    throw Failure(429, u"ActiveX 部件不能创建对象");
}

} // namespace tagwright::host
