// Calls of any shape into the stand-in editor's bus server: arbitrary object ids, member names,
// call kinds and argument values, from several clients, in any order. Each gets a reply or a
// D-Bus error of the protocol, never a crash; and the design served saves and reloads.
#include "host/dbus/BusServer.h"
#include "host/dbus/Protocol.h"
#include "host/memory/DesignFile.h"
#include "host/memory/MemoryHost.h"
#include "standin/StandinApplication.h"
#include "support/DesignCompare.h"
#include "support/Fault.h"
#include "support/FuzzInput.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDebug>
#include <QFile>
#include <QStringList>

#include <cmath>
#include <limits>
#include <memory>
#include <utility>

using namespace tagwright;
using host::dbus::ObjectId;

namespace {

// The sample board, read once; each input is served a copy of its own.
host::memory::Design board;

// Every member the served objects answer, and the two the stand-in adds.
const char16_t* const members[] = {
    u"ActiveDocument", u"Components",    u"Nets",     u"NetClasses", u"Vias",       u"Texts",
    u"Count",          u"Item",          u"Name",     u"Pins",       u"Number",     u"PositionX",
    u"PositionY",      u"Net",           u"NetClass", u"Selected",   u"TextString", u"Delete",
    u"View",           u"ShowSelection", u"Unit",     u"LayerCount", u"LayerName",  u"AddText",
    u"Save",           u"Quit"};

const char* const methods[] = {"Invoke", "Enumerate", "Next", "Release", "Introspect", "Ping"};

constexpr double inf = std::numeric_limits<double>::infinity();
const double specialNumbers[] = {0.0,   -0.0,    1.0,    -1.0, 2.0,  65536.0,
                                 1e308, 1.7e308, 5e-324, inf,  -inf, std::nan("")};

// Over the bus every string is valid UTF-8; the same holds for what the fuzzer sends.
QString someText(fuzz::FuzzInput& in) {
    if (in.byte() % 4 != 0) {
        return QString::fromStdU16String(members[in.below(std::size(members))]);
    }
    return QString::fromUtf8(QByteArray::fromStdString(in.text()));
}

// Ids are handed out from 2 upwards by each fresh server, so small numbers hit live ids.
ObjectId someId(fuzz::FuzzInput& in) {
    const std::uint8_t choice = in.byte();
    return choice < 240 ? ObjectId(choice) : in.integral<ObjectId>();
}

double someNumber(fuzz::FuzzInput& in) {
    const std::uint8_t choice = in.byte();
    return choice < std::size(specialNumbers) ? specialNumbers[choice]
           : choice < 128                     ? double(static_cast<std::int8_t>(in.byte()))
                                              : in.real();
}

QVariant someValue(fuzz::FuzzInput& in, int depth = 0);

using In = fuzz::FuzzInput;
// What a value's type byte picks, modulo their count; each reads the bytes it needs.
QVariant (*const valueMakers[])(In&, int depth) = {
    [](In&, int) { return QVariant::fromValue(uchar(0)); }, // the protocol's "empty"
    [](In& in, int) { return QVariant::fromValue(uchar(in.byte() | 1)); },
    [](In& in, int) { return QVariant::fromValue(bool(in.byte() & 1)); },
    [](In& in, int) { return QVariant::fromValue(in.integral<short>()); },
    [](In& in, int) {
        return QVariant::fromValue(in.byte() < 128 ? int(in.byte()) : in.integral<int>());
    },
    [](In& in, int) { return QVariant::fromValue(someNumber(in)); },
    [](In& in, int) { return QVariant::fromValue(someText(in)); },
    [](In& in, int) { return QVariant::fromValue(host::dbus::ObjectHandle{someId(in)}); },
    [](In& in, int) { return QVariant::fromValue(in.integral<uint>()); },
    [](In& in, int) { return QVariant::fromValue(qulonglong(someId(in))); },
    [](In& in, int depth) {
        return depth < 40 ? QVariant::fromValue(QDBusVariant(someValue(in, depth + 1)))
                          : QVariant();
    },
    [](In& in, int depth) {
        QVariantList list;
        for (std::size_t n = in.below(4); n > 0 && depth < 40; --n) {
            list.append(someValue(in, depth + 1));
        }
        return QVariant(list);
    },
    [](In& in, int) { return QVariant(QByteArray::fromStdString(in.text(16))); },
    [](In&, int) {
        return QVariant::fromValue(QDBusObjectPath(QStringLiteral("/PowerPCB/Application")));
    },
};

QVariant someValue(fuzz::FuzzInput& in, int depth) {
    const std::uint8_t type = in.byte();
    const QVariant value = valueMakers[type % std::size(valueMakers)](in, depth);
    // What arrives in an "av" is wrapped in a variant each; sometimes it is not.
    return type & 0x80 ? value : QVariant::fromValue(QDBusVariant(value));
}

QVariantList someValues(fuzz::FuzzInput& in) {
    QVariantList values;
    for (std::size_t n = in.below(11); n > 0; --n) {
        values.append(someValue(in));
    }
    return values;
}

QList<qulonglong> someIds(fuzz::FuzzInput& in) {
    QList<qulonglong> ids;
    for (std::size_t n = in.below(4); n > 0; --n) {
        ids.append(someId(in));
    }
    return ids;
}

QDBusMessage someCall(fuzz::FuzzInput& in) {
    static const QString clients[] = {QStringLiteral(":1.7"), QStringLiteral(":1.8"),
                                      QStringLiteral("")};
    const QString& client = clients[in.below(std::size(clients))];
    const std::uint8_t shape = in.byte();
    QString interface = QLatin1String(host::dbus::interfaceName);
    if (shape >= 250) {
        interface = shape == 250   ? QStringLiteral("org.freedesktop.DBus.Introspectable")
                    : shape == 251 ? QString()
                                   : QStringLiteral("PowerPCB.Other");
    }
    const char* method = methods[shape % 8 < 6 ? shape % 8 : 0];
    QDBusMessage call = QDBusMessage::createMethodCall(
        client, QLatin1String(host::dbus::objectPath), interface, QLatin1String(method));
    if (shape & 0x40) {
        call.setArguments(someValues(in)); // any signature at all
        return call;
    }
    if (shape % 8 == 1 || shape % 8 == 2) {
        call << QVariant::fromValue(qulonglong(someId(in)))
             << QVariant::fromValue(uint(in.byte() < 200 ? in.byte() : in.integral<uint>()));
    } else if (shape % 8 == 3) {
        call << QVariant::fromValue(someIds(in));
    } else {
        const std::uint8_t kind = in.byte();
        call << QVariant::fromValue(qulonglong(someId(in))) << someText(in)
             << (kind < 240 ? int(kind % 3) : in.integral<int>()) << someValues(in)
             << QVariant::fromValue(someIds(in));
    }
    return call;
}

void checkAnswer(const QDBusMessage& call, const QDBusMessage& answer) {
    if (answer.type() == QDBusMessage::ReplyMessage) {
        return;
    }
    if (answer.type() != QDBusMessage::ErrorMessage) {
        fuzz::fault("no reply to " + call.member().toStdString());
    }
    const QString name = answer.errorName();
    const bool failure = name == QLatin1String(host::dbus::failureError);
    if (!failure && name != QLatin1String(host::dbus::invalidCallError)) {
        fuzz::fault("an error outside the protocol: " + name.toStdString());
    }
    // The bus puts the error's text in front of the number; an answer not sent has only that.
    const QVariantList args = answer.arguments();
    if (failure && (args.isEmpty() || args.last().metaType().id() != QMetaType::Int)) {
        fuzz::fault("a failure without its number: " + answer.errorMessage().toStdString());
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QFile file(QStringLiteral(DEMO_BOARD));
    if (!file.open(QIODevice::ReadOnly)) {
        fuzz::fault("cannot read " DEMO_BOARD);
    }
    board = host::memory::parseDesign(file.readAll().toStdString(), "demo-board.json");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Served exactly as the stand-in serves it; Save checks the design instead of writing it.
    // The board as read saves and reloads (the loader's target sees to that), so only a
    // design that calls have changed is worth the check.
    const auto design = host::memory::separateCopy(board);
    bool changed = false;
    design->onChange = [&](const host::memory::DesignChange&) { changed = true; };
    const auto check = [&] {
        if (std::exchange(changed, false)) {
            fuzz::checkSavesAndReloads(*design);
        }
    };
    host::dbus::BusServer server(std::make_shared<standin::StandinApplication>(
        host::memory::makeApplication(design), check, [] {}));
    static const QDBusConnection noBus(QStringLiteral("tagwright-fuzz-no-bus"));

    // Shows each call and its answer, to see what an input decodes to.
    static const bool verbose = qEnvironmentVariableIsSet("TAGWRIGHT_FUZZ_VERBOSE");

    fuzz::FuzzInput in(data, size);
    for (int calls = 0; calls < 64 && !in.atEnd(); ++calls) {
        const QDBusMessage call = someCall(in);
        const QDBusMessage answer = server.answer(call, noBus);
        if (verbose) {
            qInfo() << call << "\n  ->" << answer;
        }
        checkAnswer(call, answer);
    }
    check();
    return 0;
}
