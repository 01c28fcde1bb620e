#pragma once

namespace tagwright::standin {

// Whether a window could be shown: asked before any application object exists, since one
// that can make windows ends the program when its display cannot be opened, where the
// stand-in would rather serve without a window.
bool displayAvailable();

} // namespace tagwright::standin
