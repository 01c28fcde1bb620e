#include "host/Attach.h"
#include "host/Failure.h"
#include "host/memory/DesignFile.h"
#include "support/StandinProcess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

using namespace tagwright;
using namespace tagwright::host;
using tagwright::testing::StandinProcess;

namespace {

const char smallDesign[] = R"({
  "unit": 2,
  "layers": ["Top", "Bottom"],
  "netClasses": ["POWER"],
  "nets": [ { "name": "GND", "netClass": "POWER" } ],
  "components": [
    { "name": "U1", "pins": [ { "name": "1", "number": 1, "x": 100.0, "y": 200.0, "net": "GND" } ] }
  ],
  "texts": [ { "text": "{OLD}", "layer": 1, "x": 0, "y": 0, "height": 15, "lineWidth": 1,
               "rotation": 0, "locked": true } ],
  "board": { "kept": "as read" }
})";

class StandinTest : public ::testing::Test {
  protected:
    QString write(const char* content, const char* name = "design.json") {
        const QString path = dir.filePath(QLatin1String(name));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(content);
        return path;
    }
    static QByteArray read(const QString& path) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }
    static bool nameOwned() {
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(
            QStringLiteral("PowerPCB.Application"));
    }
    static void addLabel(const HostDocument& document) {
        document.addText({u"{GND}", 1, 110, 195, 15, 1, 0});
    }

    QTemporaryDir dir;
};

TEST_F(StandinTest, LabelsPersistWhicheverWayTheSessionEnds) {
    struct Case {
        const char* name;
        std::function<void(StandinProcess&, const HostApplication&)> end;
        bool keepsRunning;
    };
    const std::vector<Case> cases = {
        {"SIGTERM", [](StandinProcess& p, const HostApplication&) { p.sendSignal(SIGTERM); },
         false},
        {"SIGINT", [](StandinProcess& p, const HostApplication&) { p.sendSignal(SIGINT); }, false},
        {"Quit", [](StandinProcess&, const HostApplication& a) { a.call(u"Quit"); }, false},
        {"Save", [](StandinProcess&, const HostApplication& a) { a.call(u"Save"); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = write(smallDesign);
        StandinProcess standin({path, QStringLiteral("--verbose")});
        ASSERT_TRUE(standin.waitUntilServing()) << standin.errors().toStdString();
        {
            const HostApplication application = attachRunningEditor();
            addLabel(application.activeDocument());
            c.end(standin, application);
        }
        if (!c.keepsRunning) {
            EXPECT_EQ(standin.waitForExit(), 0) << standin.errors().toStdString();
        }
        const auto saved = memory::loadDesign(path.toStdString());
        ASSERT_EQ(saved.liveTextCount(), 2u);
        EXPECT_EQ(saved.texts[1]->text, u"{GND}");
        EXPECT_EQ(saved.texts[1]->x, 110.0);
        EXPECT_TRUE(saved.texts[0]->locked);
        EXPECT_TRUE(read(path).contains("\"kept\"")) << "fields it does not know are kept";
        EXPECT_TRUE(standin.waitForOutput(QStringLiteral("added {GND} at (110, 195) on layer 1")))
            << standin.output().toStdString();
        if (c.keepsRunning) {
            standin.sendSignal(SIGTERM);
            EXPECT_EQ(standin.waitForExit(), 0);
        }
    }
}

TEST_F(StandinTest, BadDesignFilesAreRefusedNamingFileAndField) {
    struct Case {
        const char* name;
        const char* content;
        const char* field;
    };
    const std::vector<Case> cases = {
        {"not JSON", "{ \"unit\": 2, ", "not valid JSON"},
        {"unit of wrong type", R"({ "unit": "mil" })", "unit"},
        {"pin coordinate of wrong type",
         R"({ "unit": 2, "components": [ { "name": "U1", "pins": [ { "name": "1", "number": 1,
              "x": "left", "y": 0 } ] } ] })",
         "components[0].pins[0].x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = write(c.content, "bad.json");
        StandinProcess standin({path});
        EXPECT_EQ(standin.waitForExit(), 2);
        const QString errors = standin.errors();
        EXPECT_TRUE(errors.contains(path)) << errors.toStdString();
        EXPECT_TRUE(errors.contains(QLatin1String(c.field))) << errors.toStdString();
        EXPECT_EQ(read(path), QByteArray(c.content)) << "the file was written";
        EXPECT_FALSE(nameOwned());
    }
    StandinProcess missing({dir.filePath(QStringLiteral("absent.json"))});
    EXPECT_EQ(missing.waitForExit(), 2);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("absent.json"))));
}

TEST_F(StandinTest, ASecondEditorIsRefusedAndTheFirstServesOn) {
    StandinProcess first({write(smallDesign)});
    ASSERT_TRUE(first.waitUntilServing());
    StandinProcess second({write(smallDesign, "other.json")});
    EXPECT_EQ(second.waitForExit(), 1);
    EXPECT_TRUE(second.errors().contains(QLatin1String("already serves")))
        << second.errors().toStdString();
    EXPECT_NE(attachRunningEditor().activeDocument().components().item(1), nullptr);
}

TEST_F(StandinTest, WithoutADocumentTheEditorHasNothingOpenAndWritesNothing) {
    StandinProcess standin({QStringLiteral("--no-document")});
    ASSERT_TRUE(standin.waitUntilServing());
    EXPECT_THROW(attachRunningEditor().activeDocument().unit(), Failure);
    standin.sendSignal(SIGTERM);
    EXPECT_EQ(standin.waitForExit(), 0);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(StandinTest, AnEditorThatDiesMidSessionFailsTheNextCall) {
    const QString path = write(smallDesign);
    StandinProcess standin({path});
    ASSERT_TRUE(standin.waitUntilServing());
    const HostDocument document = attachRunningEditor().activeDocument();
    const HostCollection components = document.components();
    standin.sendSignal(SIGKILL);
    standin.waitForExit();
    try {
        components.item(1);
        ADD_FAILURE() << "a call reached a dead editor";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), 462);
    }
    EXPECT_EQ(read(path), QByteArray(smallDesign));
}

} // namespace
