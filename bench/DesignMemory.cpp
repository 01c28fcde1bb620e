// Peak resident memory of the in-memory editor holding a loaded 100k-pin design.
// Usage: tagwright_design_memory [FILE]. Without FILE a generated board is written to a
// temporary file first; the load is then measured in a fresh process so that generating
// the board does not count.
#include "host/memory/BoardGenerator.h"
#include "host/memory/DesignFile.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using namespace tagwright::host::memory;

namespace {

// The high-water mark of this process image; unlike getrusage's, it starts afresh at exec.
double peakResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        auto path = std::filesystem::temp_directory_path() / "tagwright-100k-pins.json";
        saveDesign(generateBoard({.components = 10000,
                                  .pinsPerComponent = 10,
                                  .nets = 5000,
                                  .netClasses = 8,
                                  .vias = 20000}),
                   path);
        std::string file = path.string();
        execl("/proc/self/exe", argv[0], file.c_str(), static_cast<char*>(nullptr));
        std::perror("exec");
        return 1;
    }
    double before = peakResidentMegabytes();
    Design design = loadDesign(argv[1]);
    double after = peakResidentMegabytes();
    std::size_t pins = 0;
    for (const auto& c : design.components) {
        pins += c.pins.size();
    }
    std::printf("%zu pins, %zu vias loaded from %s\n", pins, design.vias.size(), argv[1]);
    std::printf("peak resident memory: %.1f MB (%.1f MB before loading)\n", after, before);
    return 0;
}
