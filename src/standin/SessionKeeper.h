#pragma once

#include "host/memory/Design.h"

#include <QDBusConnection>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

class QSocketNotifier;

namespace tagwright::host::dbus {
class BusServer;
}

namespace tagwright::standin {

// Sees the served design safely through the end of the session, however it ends: the
// client's Quit, SIGINT, SIGTERM or SIGHUP, or the session bus going away. The edits are
// saved; when that fails they are written beside the design under a recovery name, and the
// stand-in says where. On the way out the bus name goes before the served object, so a call
// in flight fails as with an editor that is gone (462), never as a bad call.
class SessionKeeper : public QObject {
    Q_OBJECT
  public:
    static constexpr int exitSaved = 0;
    static constexpr int exitNotSaved = 1;

    // `file` is where `design` came from; without one there is nothing to save.
    SessionKeeper(std::shared_ptr<host::memory::Design> design,
                  std::optional<std::filesystem::path> file, bool verbose);
    ~SessionKeeper() override;

    // Starts watching the signals and the bus once `server` serves under the editor's name.
    // False (errno set) when the signals cannot be watched.
    bool keep(host::dbus::BusServer& server, const QDBusConnection& bus);

    // The client's Save, and the window's: failure 75 with the cause when the file cannot be
    // written.
    void save();
    // Writes the design to `file`, which it is then saved to from now on; failure 75 as above.
    void saveAs(const std::filesystem::path& file);
    // The editor now serves `design`, read from `file`; the one before is closed.
    void replace(std::shared_ptr<host::memory::Design> design, std::filesystem::path file);
    // Whether the design holds changes its file does not.
    bool unsaved() const { return design_ && design_->revision != savedRevision_; }
    const std::optional<std::filesystem::path>& file() const { return file_; }
    // The window's Quit once its user chose to drop the edits, or saved them.
    void endWithoutSaving() { end(false); }
    // The client's Quit: saves first; when that fails, Quit fails with 75 and the editor
    // serves on, so the edits are not lost.
    void quit();

  signals:
    void saved();

  private:
    void end(bool saveFirst);
    bool saveOrRecover();
    void tell(const std::string& line) const;

    std::shared_ptr<host::memory::Design> design_;
    std::optional<std::filesystem::path> file_;
    bool verbose_;
    std::uint64_t savedRevision_ = 0;
    host::dbus::BusServer* server_ = nullptr;
    QDBusConnection bus_;
    QTimer busWatch_;
    QSocketNotifier* signalNotifier_ = nullptr;
    bool ending_ = false;
};

} // namespace tagwright::standin
