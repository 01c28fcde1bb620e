#include "support/TestDesign.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace tagwright::host::memory;

namespace {

TEST(DesignFile, RoundTripKeepsEverythingIncludingUnknownFields) {
    const std::string file = R"({
      "unit": 4, "layers": ["Top"], "netClasses": ["P"], "vendor": {"tool": "x"},
      "nets": [{"name": "GND", "netClass": "P", "selected": true, "impedance": 50}],
      "components": [{"name": "U1", "selected": false, "footprint": "SO8",
        "pins": [{"name": "", "number": 12, "x": 1.5, "y": -2, "net": "GND", "pad": "r"}]}],
      "vias": [{"x": 3, "y": 4, "drill": 0.3}],
      "texts": [{"text": "网络", "layer": 1, "x": 0, "y": 0, "height": 15, "lineWidth": 1,
                 "rotation": 90, "locked": true, "font": "std"}]
    })";
    Design first = parseDesign(file, "board.json");
    std::string written = serializeDesign(first);
    EXPECT_EQ(serializeDesign(parseDesign(written, "again.json")), written);

    auto json = nlohmann::json::parse(written);
    EXPECT_EQ(json["vendor"]["tool"], "x");
    EXPECT_EQ(json["nets"][0]["impedance"], 50);
    EXPECT_EQ(json["components"][0]["pins"][0]["pad"], "r");
    EXPECT_EQ(json["vias"][0]["drill"], 0.3);
    EXPECT_EQ(json["texts"][0]["font"], "std");
    EXPECT_EQ(json["texts"][0]["text"], "网络");
    EXPECT_FALSE(json["vias"][0].contains("net"));
}

TEST(DesignFile, FieldOrderInTheFileDoesNotMatter) {
    const std::string forward = R"({"netClasses": ["P"], "nets": [{"name": "GND", "netClass": "P"}],
        "components": [{"name": "U1", "pins": [{"number": 1, "net": "GND"}]}],
        "vias": [{"net": "GND"}]})";
    const std::string backward = R"({"vias": [{"net": "GND"}],
        "components": [{"name": "U1", "pins": [{"number": 1, "net": "GND"}]}],
        "nets": [{"name": "GND", "netClass": "P"}], "netClasses": ["P"]})";
    EXPECT_EQ(serializeDesign(parseDesign(backward, "b")),
              serializeDesign(parseDesign(forward, "f")));
}

TEST(DesignFile, BadFilesAreRefusedNamingFileAndField) {
    struct Case {
        const char* json;
        const char* field;
    };
    const Case cases[] = {
        {"{", "not valid JSON"},
        {"[]", "the design must be an object"},
        {R"({"unit": "mil"})", "unit must be a whole number"},
        {R"({"unit": 1e12})", "unit must be a whole number"},
        {R"({"layers": [1]})", "layers[0] must be a string"},
        {R"({"nets": [{"name": "A", "netClass": "X"}]})",
         "nets[0].netClass names no entry of netClasses"},
        {R"({"components": [{"name": "U1", "pins": [{"x": "1"}]}]})",
         "components[0].pins[0].x must be a number"},
        {R"({"components": [{"pins": [{"net": "GND"}]}]})",
         "components[0].pins[0].net names no entry of nets"},
        {R"({"vias": {}})", "vias must be an array"},
        {R"({"texts": [{"locked": 1}]})", "texts[0].locked must be true or false"},
        {R"({"nets": [], "components": [{"name": "a"}, {"pins": 3}]})",
         "components[1].pins must be an array"},
        {R"({"netClasses": [], "nets": [], "vias": [{}, 5]})", "vias[1] must be an object"},
        {R"({"nets": [], "components": [{"name": "A"}], "components": [{"name": "B"}]})",
         "components appears twice"},
        {R"({"layers": ["Top"], "layers": []})", "layers appears twice"},
    };
    for (const auto& c : cases) {
        try {
            parseDesign(c.json, "bad.json");
            ADD_FAILURE() << "accepted: " << c.json;
        } catch (const DesignFileError& e) {
            std::string message = e.what();
            EXPECT_EQ(message.rfind("bad.json: ", 0), 0u) << message;
            EXPECT_NE(message.find(c.field), std::string::npos) << message;
        }
    }
}

TEST(DesignFile, SaveReplacesTheFileWholeAndLeavesNoTemporary) {
    auto dir = std::filesystem::temp_directory_path() / "tagwright-design-file-test";
    std::filesystem::create_directories(dir);
    auto path = dir / "board.json";
    { std::ofstream(path) << "old content that is longer than nothing"; }

    Design design = parseDesign(tagwright::test::smallBoard, "small");
    saveDesign(design, path);
    EXPECT_EQ(serializeDesign(loadDesign(path)), serializeDesign(design));
    EXPECT_FALSE(std::filesystem::exists(dir / "board.json.tmp"));

    EXPECT_THROW(loadDesign(dir / "missing.json"), DesignFileError);
    EXPECT_THROW(saveDesign(design, dir / "no-such-dir" / "x.json"), DesignFileError);
    std::filesystem::remove_all(dir);
}

} // namespace
