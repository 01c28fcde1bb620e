#pragma once

#include "host/Attach.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace tagwright::app {

// What the program takes from its command line: only the trace. Anything else is left alone,
// as it always was (on Linux Qt has taken its own options out before).
struct CommandLine {
    std::optional<std::filesystem::path> traceFile;
    // "--trace" came last, without a file.
    bool traceFileMissing = false;
};

// `arguments` without the program's own name. Both "--trace FILE" and "--trace=FILE"; when
// given twice, the last one counts.
CommandLine parseCommandLine(std::span<const std::filesystem::path> arguments);

// The attach function the window gets: `attach`, traced into the file the command line names.
// A trace that cannot be written is told through `tell` and the program runs without it: the
// user still gets the labels, and learns why no trace came.
host::AttachFunction editorAttach(const CommandLine& commandLine, host::AttachFunction attach,
                                  const std::function<void(const std::u16string&)>& tell);

} // namespace tagwright::app
