#include "standin/SessionKeeper.h"

#include "host/Failure.h"
#include "host/Text.h"
#include "host/dbus/BusServer.h"
#include "host/dbus/Protocol.h"
#include "host/memory/DesignFile.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <iostream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace tagwright::standin {

namespace {

// Often enough that a stand-in whose bus went away ends about as fast as a person notices.
constexpr int busWatchMs = 250;

// Signals only write a byte here; the event loop does the saving.
int signalPipe[2] = {-1, -1};

void onSignal(int number) {
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

bool watchSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        return false;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A closed terminal (SIGHUP) ends a session as surely as SIGTERM does.
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        if (::sigaction(number, &action, nullptr) != 0) {
            return false;
        }
    }
    return true;
}

void complain(const std::string& line) {
    std::cerr << "editor-standin: " << line << std::endl;
}

// "board.json" gives "board.recovered.json", then "board.recovered-2.json" and so on: never
// a file that is already there, which may hold the edits of an earlier session.
std::optional<std::filesystem::path> unusedRecoveryName(const std::filesystem::path& folder,
                                                        const std::filesystem::path& design) {
    for (int n = 1; n <= 1000; ++n) {
        std::filesystem::path name = design.stem();
        name += n == 1 ? ".recovered" : ".recovered-" + std::to_string(n);
        name += design.extension();
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(folder / name, error))) {
            return folder / name;
        }
    }
    return std::nullopt;
}

} // namespace

SessionKeeper::SessionKeeper(std::shared_ptr<host::memory::Design> design,
                             std::optional<std::filesystem::path> file, bool verbose)
    : design_(std::move(design)), file_(std::move(file)), verbose_(verbose),
      savedRevision_(design_ ? design_->revision : 0), bus_(QStringLiteral("none")) {}

SessionKeeper::~SessionKeeper() = default;

bool SessionKeeper::keep(host::dbus::BusServer& server, const QDBusConnection& bus) {
    server_ = &server;
    bus_ = bus;
    if (!watchSignals()) {
        return false;
    }
    signalNotifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(signalNotifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(signalPipe[0], &byte, 1);
        end(true);
    });
    // A stand-in left without its bus can be reached by no one: it saves and ends.
    connect(&busWatch_, &QTimer::timeout, this, [this] {
        if (!bus_.isConnected()) {
            end(true);
        }
    });
    busWatch_.start(busWatchMs);
    return true;
}

void SessionKeeper::save() {
    if (design_) {
        saveAs(*file_);
    }
}

void SessionKeeper::saveAs(const std::filesystem::path& file) {
    if (!design_) {
        return;
    }
    try {
        host::memory::saveDesign(*design_, file);
    } catch (const host::memory::DesignFileError& error) {
        throw host::Failure::fileAccessError(host::fromUtf8(error.what()));
    }
    file_ = file;
    savedRevision_ = design_->revision;
    tell("saved " + file_->string());
    emit saved();
}

void SessionKeeper::replace(std::shared_ptr<host::memory::Design> design,
                            std::filesystem::path file) {
    if (design_) {
        design_->closed = true;
    }
    design_ = std::move(design);
    file_ = std::move(file);
    savedRevision_ = design_->revision;
    tell("opened " + file_->string());
}

void SessionKeeper::quit() {
    save();
    // Nothing may change the design after the save that Quit was answered on.
    server_->stopServing();
    // The Quit call gets its reply first: the session ends once this handler has returned.
    QTimer::singleShot(0, this, [this] { end(false); });
}

void SessionKeeper::end(bool saveFirst) {
    if (ending_) {
        return;
    }
    ending_ = true;
    busWatch_.stop();
    if (signalNotifier_) {
        signalNotifier_->setEnabled(false);
    }
    server_->stopServing();
    if (bus_.isConnected()) {
        // Calls that reached this editor before the name went are answered now (462); once
        // the name is gone, calls fail at the bus the same way. Left for later, they would
        // be answered "no such object" when the served object goes.
        bus_.unregisterService(QLatin1String(host::dbus::serviceName));
        QCoreApplication::sendPostedEvents();
    }
    QCoreApplication::exit(!saveFirst || saveOrRecover() ? exitSaved : exitNotSaved);
}

bool SessionKeeper::saveOrRecover() {
    if (!design_) {
        return true;
    }
    try {
        host::memory::saveDesign(*design_, *file_);
        savedRevision_ = design_->revision;
        tell("saved " + file_->string());
        return true;
    } catch (const host::memory::DesignFileError& error) {
        complain(error.what());
    }
    // Beside the design first, where its owner will look; the temporary folder when that
    // folder takes nothing (a full disk, no permission).
    std::error_code noTemp;
    const std::filesystem::path folders[] = {file_->parent_path().empty() ? "."
                                                                          : file_->parent_path(),
                                             std::filesystem::temp_directory_path(noTemp)};
    for (const auto& folder : folders) {
        auto recovery = unusedRecoveryName(folder, file_->filename());
        if (!recovery || folder.empty()) {
            continue;
        }
        try {
            host::memory::saveDesign(*design_, *recovery);
            complain("the edits were not saved to " + file_->string() + "; they were written to " +
                     recovery->string());
            return false;
        } catch (const host::memory::DesignFileError& error) {
            complain(error.what());
        }
    }
    complain("the edits to " + file_->string() + " could be written nowhere and are lost");
    return false;
}

void SessionKeeper::tell(const std::string& line) const {
    if (verbose_) {
        std::cout << line << std::endl;
    }
}

} // namespace tagwright::standin
