#include "host/Text.h"
#include "host/dbus/BusServer.h"
#include "host/dbus/Protocol.h"
#include "host/memory/DesignFile.h"
#include "host/memory/MemoryHost.h"
#include "standin/SessionKeeper.h"
#include "standin/StandinApplication.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>

#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

using namespace tagwright;

namespace {

constexpr int exitFailed = 1;
constexpr int exitBadInput = 2;

const char usage[] = "usage: editor-standin DESIGN.json [--verbose]\n"
                     "       editor-standin --no-document [--verbose]\n";

struct Options {
    std::optional<std::filesystem::path> design; // none: the editor has nothing open
    bool verbose = false;
};

std::optional<Options> parseOptions(const QStringList& args) {
    Options options;
    bool noDocument = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--verbose")) {
            options.verbose = true;
        } else if (arg == QLatin1String("--no-document")) {
            noDocument = true;
        } else if (arg.startsWith(QLatin1Char('-')) || options.design) {
            return std::nullopt;
        } else {
            options.design = std::filesystem::path(arg.toStdString());
        }
    }
    if (noDocument == options.design.has_value()) {
        return std::nullopt;
    }
    return options;
}

void say(const std::string& line) {
    std::cout << line << std::endl;
}
void complain(const std::string& line) {
    std::cerr << "editor-standin: " << line << std::endl;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::optional<Options> options = parseOptions(app.arguments());
    if (!options) {
        std::cerr << usage;
        return exitBadInput;
    }

    // Everything the file can get wrong is found before anything is served.
    std::shared_ptr<host::memory::Design> design;
    if (options->design) {
        try {
            design =
                std::make_shared<host::memory::Design>(host::memory::loadDesign(*options->design));
        } catch (const host::memory::DesignFileError& error) {
            complain(error.what());
            return exitBadInput;
        }
        if (options->verbose) {
            design->onChange = [](const std::u16string& change) { say(host::toUtf8(change)); };
        }
    }

    standin::SessionKeeper keeper(design, options->design, options->verbose);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        complain("no session bus to serve on (" + bus.lastError().message().toStdString() + ")");
        return exitFailed;
    }
    host::dbus::BusServer server(std::make_shared<standin::StandinApplication>(
        host::memory::makeApplication(design), [&] { keeper.save(); }, [&] { keeper.quit(); }));
    if (!server.serveOn(bus)) {
        complain("cannot register the object path " + std::string(host::dbus::objectPath));
        return exitFailed;
    }
    if (!bus.registerService(QLatin1String(host::dbus::serviceName))) {
        complain(std::string("another editor already serves \"") + host::dbus::serviceName +
                 "\" on this session bus; not starting a second one");
        return exitFailed;
    }

    if (!keeper.keep(server, bus)) {
        complain(std::string("cannot watch for signals: ") + std::strerror(errno));
        return exitFailed;
    }

    say(std::string("serving ") +
        (design ? options->design->string() : std::string("no document")) + " as \"" +
        host::dbus::serviceName + "\"");
    return app.exec();
}
