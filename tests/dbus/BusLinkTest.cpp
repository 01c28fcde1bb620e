#include "host/Failure.h"
#include "host/dbus/BusClient.h"
#include "host/dbus/BusServer.h"
#include "host/dbus/Protocol.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <vector>

using namespace tagwright::host;
using namespace tagwright::host::dbus;

namespace {

std::atomic<int> liveEchoes{0};
std::atomic<QThread*> callThread{nullptr};

// A host object that hands back what it is given, so every value crosses the bus twice.
class Echo : public HostObject {
  public:
    explicit Echo(int index, bool collection = false) : index_(index), collection_(collection) {
        ++liveEchoes;
    }
    ~Echo() override { --liveEchoes; }

    Value invoke(std::u16string_view member, CallKind, std::span<const Value> args) override {
        callThread = QThread::currentThread();
        if (member == u"Echo") {
            return args.empty() ? Value() : args[0];
        }
        if (member == u"Index") {
            return std::int32_t{index_};
        }
        if (member == u"Child") {
            return std::make_shared<Echo>(index_ + 1);
        }
        if (member == u"Nothing") {
            return ObjectRef();
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
        if (!collection_) {
            return HostObject::enumerate();
        }
        class Children : public HostEnumerator {
          public:
            bool next(Value& member) override {
                if (next_ == count) {
                    return false;
                }
                member = std::make_shared<Echo>(next_++);
                return true;
            }
            int next_ = 0;
        };
        return std::make_unique<Children>();
    }

    static constexpr int count = 150; // more than one batch

  private:
    int index_;
    bool collection_;
};

Value call(const ObjectRef& object, std::u16string_view member, std::vector<Value> args = {}) {
    return object->invoke(member, CallKind::Method, args);
}

// The server in a thread of its own, on a connection of its own, as another process would be.
class ServerThread {
  public:
    ServerThread() {
        std::promise<QString> ready;
        auto name = ready.get_future();
        thread_.reset(QThread::create([this, &ready] {
            auto connection = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                            QStringLiteral("server"));
            BusServer server(std::make_shared<Echo>(0, true));
            server.serveOn(connection);
            server_ = &server;
            ready.set_value(connection.baseService());
            QEventLoop loop;
            loop.exec();
            server_ = nullptr;
        }));
        thread_->start();
        service_ = name.get();
        application_ = connectToEditor(client_, service_);
    }
    ~ServerThread() {
        application_.reset();
        thread_->exit();
        thread_->wait();
        QDBusConnection::disconnectFromBus(QStringLiteral("server"));
    }

    const QString& service() const { return service_; }
    BusServer& server() { return *server_; }
    const ObjectRef& application() const { return application_; }
    QThread* thread() const { return thread_.get(); }

    // Releases travel without replies; one answered call behind them proves they have landed.
    void settle() { call(application_, u"Index"); }

    QDBusMessage raw(const QString& method, const QVariantList& args) const {
        return raw(client_, method, args);
    }
    QDBusMessage raw(const QDBusConnection& connection, const QString& method,
                     const QVariantList& args) const {
        auto message = QDBusMessage::createMethodCall(service_, QLatin1String(objectPath),
                                                      QLatin1String(interfaceName), method);
        message.setArguments(args);
        return connection.call(message);
    }

  private:
    std::unique_ptr<QThread> thread_;
    std::atomic<BusServer*> server_{nullptr};
    QString service_;
    QDBusConnection client_ = QDBusConnection::sessionBus();
    ObjectRef application_;
};

class BusLinkTest : public ::testing::Test {
  protected:
    ServerThread bus;
};

TEST_F(BusLinkTest, EveryValueTypeComesBackWithItsType) {
    struct Case {
        const char* name;
        Value sent;
        Value expected;
    };
    const std::vector<Case> cases = {
        {"empty", Value(), Value()},
        {"true", true, true},
        {"false", false, false},
        {"int16", std::int16_t{-32768}, std::int16_t{-32768}},
        {"int32", std::int32_t{2147483647}, std::int32_t{2147483647}},
        {"int32 that fits 16 bits", std::int32_t{1}, std::int32_t{1}},
        {"double", 110.25, 110.25},
        {"negative zero", -0.0, -0.0},
        {"empty string", u"", u""},
        {"net name", u"{GND}", u"{GND}"},
        {"wide text", u"网络名称 ✓", u"网络名称 ✓"},
        {"unpaired surrogate", std::u16string(1, u'\xD800'), u"\uFFFD"},
        {"nothing", ObjectRef(), ObjectRef()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Value back = call(bus.application(), u"Echo", {c.sent});
        EXPECT_EQ(back.type(), c.expected.type());
        EXPECT_EQ(back, c.expected);
    }
}

TEST_F(BusLinkTest, ObjectsTravelAsReferencesToTheSameServerObject) {
    const ObjectRef child = call(bus.application(), u"Child").toObject();
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(call(child, u"Index"), Value(std::int32_t{1}));
    EXPECT_EQ(call(child, u"IsSelf", {child}), Value(true));
    EXPECT_EQ(call(bus.application(), u"IsSelf", {child}), Value(false));
    const ObjectRef same = call(child, u"Echo", {child}).toObject();
    EXPECT_EQ(call(child, u"IsSelf", {same}), Value(true));
    // The stand-in touches its design from the main thread only.
    EXPECT_EQ(callThread.load(), bus.thread());
}

TEST_F(BusLinkTest, FailuresArriveWithTheirNumberAndDescription) {
    struct Case {
        const char* name;
        std::u16string member;
        std::vector<Value> args;
        std::int32_t number;
        std::u16string description;
    };
    const std::vector<Case> cases = {
        {"host failure", u"Fail", {std::int32_t{91}, u"对象变量未设置"}, 91, u"对象变量未设置"},
        {"negative number", u"Fail", {std::int32_t{-2147352567}, u"E"}, -2147352567, u"E"},
        {"unknown member", u"Bogus", {}, 438, u"对象不支持该属性或方法: Bogus"},
        {"host bug", u"Crash", {}, 440, u"自动化错误: vector::at"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            call(bus.application(), c.member, c.args);
            ADD_FAILURE() << "no failure";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.number(), c.number);
            EXPECT_EQ(failure.description(), c.description);
        }
    }
}

TEST_F(BusLinkTest, EnumerationVisitsEveryMemberInOrderAcrossBatches) {
    auto members = bus.application()->enumerate();
    Value member;
    std::vector<std::int32_t> seen;
    while (members->next(member)) {
        seen.push_back(call(member.toObject(), u"Index").toInt32());
    }
    ASSERT_EQ(seen.size(), std::size_t{Echo::count});
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i], static_cast<std::int32_t>(i));
    }
    EXPECT_FALSE(members->next(member));
    members.reset();
    member = Value();
    bus.settle();
    EXPECT_EQ(bus.server().heldIds(), 0u) << "a finished walk leaves nothing behind";

    const ObjectRef child = call(bus.application(), u"Child").toObject();
    try {
        child->enumerate();
        ADD_FAILURE() << "Echo children are no collections, yet one was walked";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), 438);
    }
}

TEST_F(BusLinkTest, DroppedReferencesAndAbandonedWalksAreReleased) {
    {
        const ObjectRef child = call(bus.application(), u"Child").toObject();
        const ObjectRef grandchild = call(child, u"Child").toObject();
        auto members = bus.application()->enumerate();
        Value first;
        ASSERT_TRUE(members->next(first));
        bus.settle();
        EXPECT_GT(bus.server().heldIds(), 3u);
    }
    bus.settle();
    EXPECT_EQ(bus.server().heldIds(), 0u);
    EXPECT_EQ(liveEchoes.load(), 1); // the application alone
}

TEST_F(BusLinkTest, ALeavingClientLosesEverythingItHeld) {
    const QString name = QStringLiteral("leaving");
    bus.settle();
    {
        auto other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
        const ObjectRef application = connectToEditor(other, bus.service());
        const ObjectRef child = call(application, u"Child").toObject();
        auto members = application->enumerate();
        Value first;
        ASSERT_TRUE(members->next(first));
        QDBusConnection::disconnectFromBus(name);
    }
    QElapsedTimer waited;
    waited.start();
    while (bus.server().clientCount() > 1 && waited.elapsed() < 5000) {
        QThread::msleep(10);
    }
    EXPECT_EQ(bus.server().clientCount(), 1u);
    EXPECT_EQ(bus.server().heldIds(), 0u);
    EXPECT_EQ(liveEchoes.load(), 1);
}

QVariant listOf(const QVariantList& values) {
    return QVariant(values);
}
QVariant noIds() {
    return QVariant::fromValue(QList<qulonglong>());
}
QVariant idOf(qulonglong id) {
    return QVariant::fromValue(id);
}
QVariant handleOf(ObjectId id) {
    return QVariant::fromValue(ObjectHandle{id});
}

QVariant nestedList() {
    QDBusArgument argument;
    argument.beginArray(QMetaType::fromType<QDBusVariant>());
    argument << QDBusVariant(QVariant(1));
    argument.endArray();
    return QVariant::fromValue(argument);
}

TEST_F(BusLinkTest, MalformedCallsAreRefusedAndTheServerGoesOn) {
    const auto app = idOf(applicationId);
    const auto echo = QStringLiteral("Echo");
    const QDBusMessage walk = bus.raw(QStringLiteral("Enumerate"), {app, 5u});
    ASSERT_EQ(walk.type(), QDBusMessage::ReplyMessage);
    const qulonglong enumerator = walk.arguments()[0].toULongLong();
    const QDBusMessage made =
        bus.raw(QStringLiteral("Invoke"), {app, QStringLiteral("Child"), 0, listOf({}), noIds()});
    ASSERT_EQ(made.type(), QDBusMessage::ReplyMessage);
    qulonglong child = 0;
    decodeValue(made.arguments()[0], [&](ObjectId id) {
        child = id;
        return ObjectRef();
    });
    ASSERT_NE(child, 0u);

    struct Case {
        const char* name;
        QString method;
        QVariantList args;
    };
    const std::vector<Case> cases = {
        {"unknown object", "Invoke", {idOf(999), echo, 2, listOf({}), noIds()}},
        {"nothing as target", "Invoke", {idOf(0), echo, 2, listOf({}), noIds()}},
        {"unknown kind", "Invoke", {app, echo, 7, listOf({}), noIds()}},
        {"wrong signature", "Invoke", {echo, echo, 2, listOf({}), noIds()}},
        {"missing arguments", "Invoke", {app, echo}},
        {"list as argument", "Invoke", {app, echo, 2, listOf({nestedList()}), noIds()}},
        {"byte as argument",
         "Invoke",
         {app, echo, 2, listOf({QVariant::fromValue(uchar(7))}), noIds()}},
        {"unsigned as argument", "Invoke", {app, echo, 2, listOf({QVariant(7u)}), noIds()}},
        {"unknown object as argument",
         "Invoke",
         {app, echo, 2, listOf({handleOf(424242)}), noIds()}},
        {"enumerator as target", "Invoke", {idOf(enumerator), echo, 2, listOf({}), noIds()}},
        {"enumerator as argument",
         "Invoke",
         {app, echo, 2, listOf({handleOf(enumerator)}), noIds()}},
        {"walk an object", "Next", {app, 5u}},
        {"walk an unknown id", "Next", {idOf(999), 5u}},
        {"enumerate an unknown id", "Enumerate", {idOf(999), 5u}},
        {"unknown method", "Frobnicate", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QDBusMessage reply = bus.raw(c.method, c.args);
        EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
        EXPECT_EQ(reply.errorName(), QLatin1String(invalidCallError))
            << reply.errorMessage().toStdString();
    }

    // Ids belong to the client they were given to.
    const QVariantList useChild = {idOf(child), QStringLiteral("Index"), 0, listOf({}), noIds()};
    auto other =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("other"));
    EXPECT_EQ(bus.raw(other, QStringLiteral("Invoke"), useChild).errorName(),
              QLatin1String(invalidCallError));
    QDBusConnection::disconnectFromBus(QStringLiteral("other"));

    const QDBusMessage still = bus.raw(QStringLiteral("Invoke"), useChild);
    ASSERT_EQ(still.type(), QDBusMessage::ReplyMessage) << still.errorMessage().toStdString();
    EXPECT_EQ(still.arguments()[0].value<QDBusVariant>().variant().toInt(), 1);
}

TEST(AttachTest, FailsAtOnceWhenNoEditorOwnsTheName) {
    QElapsedTimer timer;
    timer.start();
    try {
        connectToEditor(QDBusConnection::sessionBus());
        ADD_FAILURE() << "attached to nobody";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), 429);
    }
    EXPECT_LT(timer.elapsed(), 1000);
}

} // namespace
