// Plays a test program that serves the editor from the server program and then dies: starts a
// server, writes the server's process id to the file it is given, and waits to be killed.

#include "host/com/ComApartment.h"
#include "host/memory/BoardGenerator.h"
#include "standin-com/ServerProcess.h"

#include <windows.h>

#include <filesystem>
#include <fstream>

using namespace tagwright::host;

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        return 2;
    }
    com::ComApartment apartment;
    memory::BoardShape shape;
    shape.components = 2;
    com::ServerProcess server(memory::generateBoard(shape));
    std::ofstream(std::filesystem::path(argv[1])) << server.processId() << '\n';
    Sleep(INFINITE);
    return 0;
}
