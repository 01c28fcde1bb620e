#include "host/CallDelay.h"
#include "host/Text.h"
#include "host/dbus/BusServer.h"
#include "host/dbus/Protocol.h"
#include "host/memory/DesignFile.h"
#include "host/memory/MemoryHost.h"
#include "standin/BoardWindow.h"
#include "standin/DisplayProbe.h"
#include "standin/SessionKeeper.h"
#include "standin/StandinApplication.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusError>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

using namespace tagwright;

namespace {

constexpr int exitFailed = 1;
constexpr int exitBadInput = 2;

const char usage[] =
    "usage: editor-standin DESIGN.json [--headless] [--verbose] [--call-delay-us N]\n"
    "                      [--hang-after N]\n"
    "       editor-standin --no-document [--headless] [--verbose] [--call-delay-us N]\n"
    "                      [--hang-after N]\n";

struct Options {
    std::optional<std::filesystem::path> design; // none: the editor has nothing open
    bool verbose = false;
    // No window: the editor only serves, as on a machine without a display.
    bool headless = false;
    // Each call waits this long: a small board then runs as slowly as a large one.
    std::chrono::microseconds callDelay{0};
    // Answers this many calls, then hangs on the next one, as an editor that locks up does.
    std::optional<qlonglong> hangAfter;
};

std::optional<Options> parseOptions(const QStringList& args) {
    Options options;
    bool noDocument = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--verbose")) {
            options.verbose = true;
        } else if (arg == QLatin1String("--headless")) {
            options.headless = true;
        } else if (arg == QLatin1String("--no-document")) {
            noDocument = true;
        } else if (arg == QLatin1String("--call-delay-us") && i + 1 < args.size()) {
            bool number = false;
            const qlonglong delay = args[++i].toLongLong(&number);
            if (!number || delay < 0) {
                return std::nullopt;
            }
            options.callDelay = std::chrono::microseconds(delay);
        } else if (arg == QLatin1String("--hang-after") && i + 1 < args.size()) {
            bool number = false;
            options.hangAfter = args[++i].toLongLong(&number);
            if (!number || *options.hangAfter < 0) {
                return std::nullopt;
            }
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

// Serves nothing more, ever: not even the signals the session keeper saves on, which now end
// the program unsaved, as they end a hung editor. Losing the bus ends it too, so a hung editor
// never outlives the session it served.
[[noreturn]] void hang(const QDBusConnection& bus) {
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        std::signal(number, SIG_DFL);
    }
    while (bus.isConnected()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::_Exit(exitFailed);
}

bool wantsHeadless(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) {
            return true;
        }
    }
    return false;
}

// The session as the window sees it: the keeper's file and saving, and opening another
// design in place of the served one.
class EditorSession : public standin::BoardSession {
  public:
    EditorSession(standin::SessionKeeper& keeper,
                  std::function<void(std::shared_ptr<host::memory::Design>)> serve)
        : keeper_(keeper), serve_(std::move(serve)) {}

    bool unsaved() const override { return keeper_.unsaved(); }
    std::optional<std::filesystem::path> file() const override { return keeper_.file(); }
    void save() override { keeper_.save(); }
    void saveAs(const std::filesystem::path& file) override { keeper_.saveAs(file); }
    void open(const std::filesystem::path& file) override {
        auto design = std::make_shared<host::memory::Design>(host::memory::loadDesign(file));
        keeper_.replace(design, file);
        serve_(std::move(design));
    }
    void end() override { keeper_.endWithoutSaving(); }

  private:
    standin::SessionKeeper& keeper_;
    std::function<void(std::shared_ptr<host::memory::Design>)> serve_;
};

} // namespace

int main(int argc, char** argv) {
    bool headless = wantsHeadless(argc, argv);
    if (!headless && !standin::displayAvailable()) {
        complain("no display to show the board on; serving without a window (--headless)");
        headless = true;
    }
    std::unique_ptr<QCoreApplication> app;
    if (headless) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        auto windowed = std::make_unique<QApplication>(argc, argv);
        // The session ends through its keeper, which saves first; never because a window
        // happened to close.
        windowed->setQuitOnLastWindowClosed(false);
        app = std::move(windowed);
    }
    const std::optional<Options> options = parseOptions(app->arguments());
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
    }

    standin::SessionKeeper keeper(design, options->design, options->verbose);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        complain("no session bus to serve on (" + bus.lastError().message().toStdString() + ")");
        return exitFailed;
    }
    const auto application = [&](std::shared_ptr<host::memory::Design> served) {
        host::ObjectRef object = host::memory::makeApplication(std::move(served));
        if (options->callDelay.count() > 0) {
            object = host::delayCalls(std::move(object), options->callDelay);
        }
        return object;
    };
    auto served = std::make_shared<standin::StandinApplication>(
        application(design), [&] { keeper.save(); }, [&] { keeper.quit(); });
    host::dbus::BusServer server(served);
    if (options->hangAfter) {
        server.beforeAnswering([left = *options->hangAfter, bus]() mutable {
            if (left-- == 0) {
                hang(bus);
            }
        });
    }

    std::unique_ptr<standin::BoardWindow> window;
    // Every change a client makes reaches the log and the window as it happens.
    const auto watch = [&](host::memory::Design& watched) {
        watched.onChange = [&,
                            verbose = options->verbose](const host::memory::DesignChange& change) {
            // A closed design takes no changes, but a client may still show its selection.
            if (watched.closed) {
                return;
            }
            if (verbose) {
                say(host::toUtf8(change.words));
            }
            if (window) {
                window->designChanged(change);
            }
        };
    };
    if (design) {
        watch(*design);
    }
    EditorSession session(keeper, [&](std::shared_ptr<host::memory::Design> opened) {
        watch(*opened);
        served->setApplication(application(opened));
        window->showDesign(std::move(opened));
    });
    if (!headless) {
        window = std::make_unique<standin::BoardWindow>(session);
        QObject::connect(&keeper, &standin::SessionKeeper::saved, window.get(),
                         &standin::BoardWindow::sessionSaved);
        window->showDesign(design);
    }

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

    if (window) {
        window->show();
    }
    say(std::string("serving ") +
        (design ? options->design->string() : std::string("no document")) + " as \"" +
        host::dbus::serviceName + "\"");
    const int status = app->exec();
    // The window goes before the design it shows and the session it asks.
    window.reset();
    return status;
}
