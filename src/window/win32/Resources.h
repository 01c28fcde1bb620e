#pragma once

// Resource ids shared by the resource script and the code; plain macros, as the resource
// compiler reads them.
#define TAGWRIGHT_ICON 1
