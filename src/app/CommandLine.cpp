#include "app/CommandLine.h"

#include "host/CallTrace.h"
#include "host/Text.h"

#include <exception>

namespace tagwright::app {

namespace {

using Native = std::filesystem::path::string_type;

Native native(std::string_view ascii) {
    return Native(ascii.begin(), ascii.end());
}

std::u16string shown(const std::filesystem::path& file) {
    try {
        return file.u16string();
    } catch (const std::exception&) {
        // A Linux file name that is not UTF-8; its bytes still say enough.
        return host::fromUtf8(file.string());
    }
}

} // namespace

CommandLine parseCommandLine(std::span<const std::filesystem::path> arguments) {
    const Native option = native("--trace");
    const Native joined = native("--trace=");
    CommandLine result;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const Native& argument = arguments[i].native();
        if (argument == option) {
            if (i + 1 == arguments.size()) {
                result.traceFileMissing = true;
            } else {
                result.traceFile = arguments[++i];
            }
        } else if (argument.starts_with(joined)) {
            result.traceFile = argument.substr(joined.size());
        }
    }
    // An empty name names no file.
    if (result.traceFile && result.traceFile->empty()) {
        result.traceFile.reset();
        result.traceFileMissing = true;
    }
    return result;
}

host::AttachFunction editorAttach(const CommandLine& commandLine, host::AttachFunction attach,
                                  const std::function<void(const std::u16string&)>& tell) {
    if (commandLine.traceFileMissing && !commandLine.traceFile) {
        tell(u"--trace 后面缺少跟踪文件的名称，本次运行不记录跟踪。\n"
             u"--trace needs the name of a trace file; this run writes no trace.");
        return attach;
    }
    if (!commandLine.traceFile) {
        return attach;
    }
    try {
        return host::traceAttach(std::move(attach), host::openTraceFile(*commandLine.traceFile));
    } catch (const std::exception& failure) {
        tell(u"无法写入跟踪文件 " + shown(*commandLine.traceFile) + u"：" +
             host::fromUtf8(failure.what()) + u"\n本次运行不记录跟踪。\n" +
             u"Cannot write the trace file; this run writes no trace.");
        return attach;
    }
}

} // namespace tagwright::app
