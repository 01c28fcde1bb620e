#pragma once

#include <QDBusConnection>
#include <QDBusVirtualObject>

#include <functional>

namespace tagwright::app {

// The copy of the program that runs in the user's session, known on the session bus by a name
// of its own: two copies labelling the same design at once only confuse the user. A later
// start finds the name taken, asks the running copy to come to the front, and ends.
//
//   Tagwright.Window  /Tagwright/Window  interface Tagwright.Window
//   Activate()                                 brings the running copy's window to the front
class RunningCopy : public QDBusVirtualObject {
  public:
    static constexpr char busName[] = "Tagwright.Window";
    static constexpr char objectPath[] = "/Tagwright/Window";
    static constexpr char interfaceName[] = "Tagwright.Window";

    // `activate` runs in this object's thread each time a later start asks for the window.
    explicit RunningCopy(std::function<void()> activate, QObject* parent = nullptr);

    // True when this process is now the running copy. False when another copy holds the name:
    // it has been asked to come to the front, and this one ends. A session without a bus has
    // no other copy to find, so the program runs as it always did.
    bool claim(const QDBusConnection& bus);

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
    QString introspect(const QString& path) const override;

  private:
    std::function<void()> activate_;
};

} // namespace tagwright::app
