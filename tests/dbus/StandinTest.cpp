#include "host/Attach.h"
#include "host/Failure.h"
#include "host/memory/DesignFile.h"
#include "support/BusHarness.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>

using namespace tagwright::host;
using tagwright::testing::StandinProcess;

namespace {

const char design[] = R"({ "unit": 2, "layers": ["Top"], "board": { "kept": "as read" },
  "texts": [ { "text": "{OLD}", "layer": 1, "x": 0, "y": 0, "height": 15, "lineWidth": 1,
               "rotation": 0, "locked": true } ] })";

class StandinTest : public ::testing::Test {
  protected:
    QString write(const char* content, const char* name = "design.json") {
        QFile file(dir.filePath(QLatin1String(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) > 0);
        return file.fileName();
    }
    static QByteArray read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
};

TEST_F(StandinTest, LabelsPersistWhicheverWayTheSessionEnds) {
    const std::pair<const char*, std::function<void(StandinProcess&, const HostApplication&)>>
        cases[] = {
            {"SIGTERM", [](StandinProcess& p, const HostApplication&) { p.sendSignal(SIGTERM); }},
            {"SIGINT", [](StandinProcess& p, const HostApplication&) { p.sendSignal(SIGINT); }},
            {"Quit", [](StandinProcess&, const HostApplication& a) { a.call(u"Quit"); }},
            {"Save", [](StandinProcess&, const HostApplication& a) { a.call(u"Save"); }},
        };
    for (const auto& [name, end] : cases) {
        SCOPED_TRACE(name);
        const QString path = write(design);
        StandinProcess standin({path, QStringLiteral("--verbose")});
        ASSERT_TRUE(standin.waitUntilServing()) << standin.errors().toStdString();
        {
            const HostApplication application = attachRunningEditor();
            application.activeDocument().addText({u"{GND}", 1, 110, 195, 15, 1, 0});
            end(standin, application);
        }
        EXPECT_TRUE(standin.waitForOutput(QStringLiteral("added {GND} at (110, 195) on layer 1")));
        EXPECT_TRUE(standin.waitForOutput(QStringLiteral("saved ")));
        const auto saved = memory::loadDesign(path.toStdString());
        ASSERT_EQ(saved.liveTextCount(), 2u);
        EXPECT_TRUE(saved.texts[0]->locked && saved.texts[1]->text == u"{GND}");
        EXPECT_TRUE(read(path).contains("\"kept\"")) << "fields it does not know are kept";
        standin.sendSignal(SIGTERM); // the Save case is still serving
        EXPECT_EQ(standin.waitForExit(), 0) << standin.errors().toStdString();
    }
}

TEST_F(StandinTest, BadDesignFilesAreRefusedNamingFileAndField) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"{ \"unit\": 2, ", "not valid JSON"},
        {R"({ "unit": "mil" })", "unit"},
        {R"({ "unit": 2, "components": [ { "name": "U1", "pins": [ { "name": "1", "number": 1,
              "x": "left", "y": 0 } ] } ] })",
         "components[0].pins[0].x"},
    };
    for (const auto& [content, field] : cases) {
        SCOPED_TRACE(field);
        const QString path = write(content, "bad.json");
        StandinProcess standin({path});
        EXPECT_EQ(standin.waitForExit(), 2);
        const QString errors = standin.errors();
        EXPECT_TRUE(errors.contains(path) && errors.contains(QLatin1String(field)))
            << errors.toStdString();
        EXPECT_EQ(read(path), QByteArray(content)) << "the file was written";
        EXPECT_THROW(attachRunningEditor(), Failure) << "something is served";
    }
}

// The first editor serves on, with no document open, and writes nothing when it ends.
TEST_F(StandinTest, ASecondEditorIsRefusedAndTheFirstServesOn) {
    StandinProcess first({QStringLiteral("--no-document")});
    ASSERT_TRUE(first.waitUntilServing());
    const QString other = write(design, "other.json");
    StandinProcess second({other});
    EXPECT_EQ(second.waitForExit(), 1);
    EXPECT_TRUE(second.errors().contains(QLatin1String("already serves")));
    EXPECT_THROW(attachRunningEditor().activeDocument().unit(), Failure);
    first.sendSignal(SIGTERM);
    EXPECT_EQ(first.waitForExit(), 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"other.json"});
    EXPECT_EQ(read(other), QByteArray(design));
}

// Asked to, every call waits before it answers: a small board runs like a large one.
TEST_F(StandinTest, CallsWaitTheDelayAskedFor) {
    for (const char* bad : {"-5", "fast", ""}) {
        SCOPED_TRACE(bad);
        StandinProcess refused(
            {QStringLiteral("--no-document"), QStringLiteral("--call-delay-us"), bad});
        EXPECT_EQ(refused.waitForExit(), 2);
    }
    StandinProcess slow(
        {write(design), QStringLiteral("--call-delay-us"), QStringLiteral("50000")});
    ASSERT_TRUE(slow.waitUntilServing()) << slow.errors().toStdString();
    const HostDocument document = attachRunningEditor().activeDocument();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(document.layerName(1), u"Top");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    slow.sendSignal(SIGTERM);
    EXPECT_EQ(slow.waitForExit(), 0);
}

} // namespace
