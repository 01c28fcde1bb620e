#include "host/Failure.h"
#include "host/dbus/BusClient.h"
#include "host/dbus/BusServer.h"
#include "support/FailureOf.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <numeric>
#include <stdexcept>
#include <vector>

using namespace tagwright::host;
using namespace tagwright::host::dbus;
using tagwright::test::failureNumber;
using tagwright::test::failureOf;

namespace {

std::atomic<int> liveEchoes{0};
std::atomic<QThread*> callThread{nullptr};

// While set, "Hang" calls wait, as an editor busy in a dialog would, until the test clears it.
std::atomic<bool> hanging{false};

void letHungCallsGo() {
    hanging = false;
    hanging.notify_all();
}

// Hands back what it is given, so every value crosses the bus both ways. The root is a
// collection of 150 children: more than one batch of a walk.
class Echo : public HostObject {
  public:
    explicit Echo(int index, bool root = false) : index_(index), root_(root) { ++liveEchoes; }
    ~Echo() override { --liveEchoes; }

    Value invoke(std::u16string_view member, CallKind, std::span<const Value> args) override {
        callThread = QThread::currentThread();
        if (member == u"Echo") {
            return args[0];
        }
        if (member == u"Index") {
            return std::int32_t{index_};
        }
        if (member == u"Hang") {
            hanging.wait(true);
        }
        if (member == u"Child" || member == u"Hang") {
            return std::make_shared<Echo>(index_ + 1);
        }
        if (member == u"IsSelf") {
            return args[0].toObject().get() == this;
        }
        if (member == u"Fail") {
            throw Failure(args[0].toInt32(), args[1].toString());
        }
        if (member == u"Crash") {
            throw std::out_of_range("vector::at");
        }
        throw Failure::memberNotSupported(member);
    }

    std::unique_ptr<HostEnumerator> enumerate() override {
        struct Children : HostEnumerator {
            int next_ = 0;
            bool next(Value& member) override {
                return next_ < 150 && (member = std::make_shared<Echo>(next_++), true);
            }
        };
        return root_ ? std::make_unique<Children>() : HostObject::enumerate();
    }

  private:
    int index_;
    bool root_;
};

Value call(const ObjectRef& object, std::u16string_view member, std::vector<Value> args = {}) {
    return object->invoke(member, CallKind::Method, args);
}

// The server in a thread and on a connection of its own, as another process would be.
class BusLinkTest : public ::testing::Test {
  protected:
    BusLinkTest() {
        std::promise<QString> ready;
        thread.reset(QThread::create([this, &ready] {
            auto connection = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                            QStringLiteral("server"));
            BusServer serving(std::make_shared<Echo>(0, true));
            serving.serveOn(connection);
            server = &serving;
            ready.set_value(connection.baseService());
            QEventLoop().exec();
        }));
        thread->start();
        service = ready.get_future().get();
        application = connectToEditor(client, service);
    }
    ~BusLinkTest() override {
        application.reset();
        thread->exit();
        thread->wait();
        QDBusConnection::disconnectFromBus(QStringLiteral("server"));
    }

    // Releases ride along with calls; one call behind them proves they have landed.
    void settle() { call(application, u"Index"); }

    QDBusMessage raw(const QString& method, const QVariantList& args,
                     const QDBusConnection& from = QDBusConnection::sessionBus()) const {
        auto message = QDBusMessage::createMethodCall(service, QLatin1String(objectPath),
                                                      QLatin1String(interfaceName), method);
        message.setArguments(args);
        return from.call(message);
    }

    std::unique_ptr<QThread> thread;
    std::atomic<BusServer*> server{nullptr};
    QString service;
    QDBusConnection client = QDBusConnection::sessionBus();
    ObjectRef application;
};

TEST_F(BusLinkTest, ValuesAndFailuresCrossWithTheirTypes) {
    const std::pair<const char*, Value> values[] = {
        {"empty", Value()},
        {"bool", true},
        {"int16", std::int16_t{-32768}},
        {"int32 that fits 16 bits", std::int32_t{1}},
        {"double", -0.0},
        {"wide text", u"网络名称 {GND}"},
        {"nothing", ObjectRef()},
    };
    for (const auto& [name, sent] : values) {
        const Value back = call(application, u"Echo", {sent});
        EXPECT_EQ(std::pair(back.type(), back), std::pair(sent.type(), sent)) << name;
    }
    EXPECT_EQ(call(application, u"Echo", {std::u16string(1, u'\xD800')}), Value(u"\uFFFD"))
        << "an unpaired surrogate";
    const ObjectRef child = call(application, u"Child").toObject();
    EXPECT_EQ(call(child, u"IsSelf", {call(child, u"Echo", {child})}), Value(true));
    EXPECT_EQ(call(application, u"IsSelf", {child}), Value(false));
    EXPECT_EQ(callThread.load(), thread.get()) << "host objects are called on the server's thread";

    const std::tuple<std::u16string, std::vector<Value>, Failure> failures[] = {
        {u"Fail", {std::int32_t{-2147352567}, u"对象变量未设置"}, {-2147352567, u"对象变量未设置"}},
        {u"Bogus", {}, Failure::memberNotSupported(u"Bogus")},
        {u"Crash", {}, {440, u"自动化错误: vector::at"}},
    };
    for (const auto& [member, args, expected] : failures) {
        const auto failure = failureOf([&] { call(application, member, args); });
        ASSERT_TRUE(failure);
        EXPECT_EQ(std::pair(failure->number(), failure->description()),
                  std::pair(expected.number(), expected.description()));
    }
}

// Whatever a client drops, abandons or holds when it leaves is released on the server.
TEST_F(BusLinkTest, WalksDroppedObjectsAndLeavingClientsLeaveNothingBehind) {
    std::vector<std::int32_t> seen, expected(150);
    std::iota(expected.begin(), expected.end(), 0);
    {
        auto members = application->enumerate();
        for (Value member; members->next(member);) {
            seen.push_back(call(member.toObject(), u"Index").toInt32());
        }
        EXPECT_THROW(call(application, u"Child").toObject()->enumerate(), Failure);
    }
    EXPECT_EQ(seen, expected);
    {
        const ObjectRef grandchild =
            call(call(application, u"Child").toObject(), u"Child").toObject();
        auto abandoned = application->enumerate();
        Value first;
        ASSERT_TRUE(abandoned->next(first));
        settle();
        EXPECT_GT(server.load()->heldIds(), 64u);
    }
    settle();
    EXPECT_EQ(server.load()->heldIds(), 0u);
    EXPECT_EQ(server.load()->heldBytes(), 0u);

    {
        auto other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "leaving");
        const ObjectRef child = call(connectToEditor(other, service), u"Child").toObject();
        QDBusConnection::disconnectFromBus(QStringLiteral("leaving"));
    }
    QElapsedTimer waited;
    waited.start();
    while (server.load()->clientCount() > 1 && waited.elapsed() < 5000) {
        QThread::msleep(10);
    }
    EXPECT_EQ(server.load()->heldIds(), 0u);
    EXPECT_EQ(liveEchoes.load(), 1);
}

// After one call the editor left unanswered, the link fails at once instead of making every
// later call wait as long again; what the late reply handed out is dropped on the server.
TEST_F(BusLinkTest, HungEditorCostsOneTimeoutAndLeavesNothingHeld) {
    using namespace std::chrono_literals;
    const ObjectRef impatient = connectToEditor(client, service, 300ms);
    const ObjectRef kept = call(impatient, u"Child").toObject();
    hanging = true;
    QElapsedTimer timer;
    timer.start();
    // From the hang on, every call through the link fails as the editor not answering.
    const auto notAnswering = [](const std::function<void()>& body) {
        const auto failure = failureOf(body);
        return failure && failure->number() == 462 &&
               failure->description().find(u"没有响应") != std::u16string::npos;
    };
    EXPECT_TRUE(notAnswering([&] { call(impatient, u"Hang"); }));
    EXPECT_GE(timer.elapsed(), 240); // the bus times calls coarsely

    timer.restart();
    EXPECT_TRUE(notAnswering([&] { call(impatient, u"Index"); }));
    EXPECT_TRUE(notAnswering([&] { call(kept, u"Index"); }));
    EXPECT_TRUE(notAnswering([&] { impatient->enumerate(); }));
    EXPECT_LT(timer.elapsed(), 250) << "later calls waited for the editor again";

    letHungCallsGo();
    settle(); // the fixture's own link, on the same connection: served after the hung call
    EXPECT_EQ(server.load()->heldIds(), 1u) << "only the child the impatient link still holds";
    EXPECT_EQ(liveEchoes.load(), 2);
}

// A client that leaves before its first call is served must not leave a watch behind: each
// is a match rule on the bus daemon for as long as the editor runs.
TEST_F(BusLinkTest, ClientsGoneBeforeBeingServedLeaveNoWatch) {
    const auto matchRules = [&] {
        const QDBusMessage reply = client.call(
            QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                           "org.freedesktop.DBus.Debug.Stats", "GetConnectionStats")
            << service);
        return qdbus_cast<QVariantMap>(reply.arguments().value(0)).value("MatchRules", -1).toInt();
    };
    settle();
    const int before = matchRules();
    ASSERT_GE(before, 0) << "the bus daemon keeps no statistics";

    const auto invoke = [&](const char16_t* member) {
        auto message = QDBusMessage::createMethodCall(service, QLatin1String(objectPath),
                                                      QLatin1String(interfaceName), "Invoke");
        return message << QVariant::fromValue(applicationId) << QString::fromUtf16(member) << 2
                       << QVariant(QVariantList()) << QVariant::fromValue(QList<qulonglong>());
    };
    hanging = true;
    client.asyncCall(invoke(u"Hang")); // keeps the server busy while the others come and go
    for (int i = 0; i < 20; ++i) {
        const QString name = QStringLiteral("passing%1").arg(i);
        auto passing = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
        passing.send(invoke(u"Index"));
        // Once the bus has answered this, the call before it is on its way to the server.
        passing.interface()->isServiceRegistered(service);
        QDBusConnection::disconnectFromBus(name);
    }
    letHungCallsGo();
    settle();
    EXPECT_EQ(server.load()->clientCount(), 1u);
    EXPECT_EQ(matchRules(), before);
}

TEST_F(BusLinkTest, MalformedCallsAreRefusedAndTheServerGoesOn) {
    const auto id = [](qulonglong value) { return QVariant::fromValue(value); };
    const auto values = [](const QVariantList& list) { return QVariant(list); };
    const auto handle = [](ObjectId value) { return QVariant::fromValue(ObjectHandle{value}); };
    const QVariant noIds = QVariant::fromValue(QList<qulonglong>());
    const auto app = id(applicationId);
    const auto echo = QStringLiteral("Echo");
    const qulonglong walk = raw("Enumerate", {app, 5u}).arguments().value(0).toULongLong();
    ASSERT_NE(walk, 0u);
    QDBusArgument nested;
    nested.beginArray(QMetaType::fromType<QDBusVariant>());
    nested << QDBusVariant(QVariant(1));
    nested.endArray();
    QVariant deep = QVariant(1);
    for (int depth = 0; depth < 30; ++depth) {
        deep = QVariant::fromValue(QDBusVariant(deep));
    }

    const std::vector<std::pair<QString, QVariantList>> cases = {
        {"Invoke", {id(999), echo, 2, values({1}), noIds}},        // unknown object
        {"Invoke", {id(0), echo, 2, values({1}), noIds}},          // nothing as target
        {"Invoke", {app, echo, 7, values({1}), noIds}},            // unknown kind
        {"Invoke", {app, echo, 2, values({1})}},                   // wrong signature
        {"Invoke", {id(walk), echo, 2, values({1}), noIds}},       // a walk as target
        {"Invoke", {app, echo, 2, values({handle(walk)}), noIds}}, // a walk as argument
        {"Invoke", {app, echo, 2, values({handle(4242)}), noIds}}, // unknown object argument
        {"Invoke", {app, echo, 2, values({QVariant::fromValue(nested)}), noIds}}, // list
        {"Invoke", {app, echo, 2, values({QVariant(7u)}), noIds}},                // unsigned
        {"Invoke", {app, echo, 2, values({deep}), noIds}}, // variants in variants
        {"Next", {app, 5u}},                               // not a walk
        {"Frobnicate", {}},
    };
    for (const auto& [method, args] : cases) {
        const QDBusMessage reply = raw(method, args);
        EXPECT_EQ(reply.errorName(), QLatin1String(invalidCallError))
            << method.toStdString() << " " << reply.signature().toStdString();
    }

    // What the caller sent is quoted, never echoed whole.
    const QString huge(10 * 1024 * 1024, QLatin1Char('x'));
    for (const QDBusMessage& reply :
         {raw("Invoke", {app, huge, 2, values({}), noIds}),
          raw("Invoke", {app, QStringLiteral("Bogus"), 2, values({QVariant(huge)}), noIds})}) {
        EXPECT_EQ(reply.errorName(), QLatin1String(failureError));
        EXPECT_LT(reply.errorMessage().size(), 100);
    }

    // Ids belong to the client they were given to.
    const QVariantList useWalk = {id(walk), 5u};
    auto other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "other");
    EXPECT_EQ(raw("Next", useWalk, other).errorName(), QLatin1String(invalidCallError));
    QDBusConnection::disconnectFromBus(QStringLiteral("other"));
    EXPECT_EQ(raw("Next", useWalk).type(), QDBusMessage::ReplyMessage);
}

TEST(AttachTest, FailsAtOnceWhenNoEditorOwnsTheName) {
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(failureNumber([] { connectToEditor(QDBusConnection::sessionBus()); }), 429)
        << "attached to nobody";
    EXPECT_LT(timer.elapsed(), 1000);
}

} // namespace
