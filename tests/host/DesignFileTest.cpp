#include "support/TestDesign.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace tagwright::host::memory;

namespace {

std::string repeated(std::string_view piece, int times) {
    std::string out;
    while (times-- > 0) {
        out += piece;
    }
    return out;
}

// What `body` was refused with, or "accepted".
std::string refusal(const std::function<void()>& body) {
    try {
        body();
        return "accepted";
    } catch (const DesignFileError& e) {
        return e.what();
    }
}

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
    std::string written = serializeDesign(parseDesign(file, "board.json"));
    EXPECT_EQ(serializeDesign(parseDesign(written, "again.json")), written);
    // Every value of the file is written back where it was; a via on no net gets no net.
    const auto given = nlohmann::json::parse(file).flatten();
    const auto flat = nlohmann::json::parse(written).flatten();
    for (const auto& [field, value] : given.items()) {
        EXPECT_EQ(flat.value(field, nlohmann::json()), value) << field;
    }
    EXPECT_FALSE(flat.contains("/vias/0/net"));
    // A deleted text is gone from the saved file, or a removed label would come back.
    Design removed = parseDesign(file, "board.json");
    removed.texts[0]->deleted = true;
    EXPECT_EQ(nlohmann::json::parse(serializeDesign(removed))["texts"].size(), 0u);
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

TEST(DesignFile, BadFilesAreRefusedInShortMessagesNamingFileAndField) {
    const std::string blankLines = repeated(" \n\t\r", 5 * 1024 * 1024);
    struct Case {
        std::string json, field;
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
        // the parser would keep the last of a repeated key
        {R"({"unit": 2, "layers": [], "unit": 4})", "unit appears twice"},
        {R"({"components": [{"pins": [{}, {"x": 1, "y": 2, "x": 3}]}]})",
         "components[0].pins[1].x appears twice"},
        {R"({"board": {"a": {"b": [1, {"c": 1, "c": 1}]}}})", "board.a.b[1].c appears twice"},
        // integers that do not fit their field, however large
        {R"({"unit": -9223372036854775809})", "unit must be a whole number"},
        {R"({"components": [{"pins": [{"number": 2147483648}]}]})",
         "components[0].pins[0].number must be a whole number"},
        {R"({"texts": [{}, {"layer": 9223372036854775808}]})",
         "texts[1].layer must be a whole number"},
        // numbers beyond a double fail inside the parser, which still names the field
        {R"({"components": [{"pins": [{}, {"x": 1e999}]}]})",
         "components[0].pins[1].x must be a number within the range of a double"},
        {R"({"unit": 1e400})", "unit must be a number within the range of a double"},
        {R"({"texts": [{}, {}, {"text": "a", "rotation": -1e309}]})", "texts[2].rotation"},
        {R"({"board": {"outline": [0, 1e999]}})", "board.outline[1] must be a number within"},
        // a NUL would cut a name short on its way to a client
        {"{\"components\": [{\"name\": \"U1\\u0000A\"}]}",
         "components[0].name must not contain a NUL"},
        {"{\"layers\": [\"Top\", \"\\u0000\"]}", "layers[1] must not contain a NUL"},
        {"{\"netClasses\": [\"P\\u0000\"]}", "netClasses[0] must not contain a NUL"},
        {std::string("{\"unit\": 4}\0{\"unit\": 5}", 23),
         "not valid JSON at byte 11: a NUL byte where the file should end"},
        {std::string("{\"layers\": [\"Top\"]}\0, \"components\": 3}", 38), "at byte 19: a NUL"},
        {R"({"board": )" + std::string(100000, '[') + std::string(100000, ']') + "}",
         "board[0][0][0]... nests deeper than 128 levels"},
        // However long a bad token, a refusal quotes only the start of what the parser last
        // read and says where it stopped: messages of megabytes took seconds to make and show.
        {blankLines + "\x01", "not valid JSON at byte 20971520: "},
        {"{\"layers\": [\"" + std::string(1 << 20, 'A'),
         "not valid JSON at byte 1048589, in layers[0]: syntax error while parsing value - "
         "invalid string: missing closing quote; last read: '\"" +
             std::string(39, 'A') + "\u2026'"},
        {"{\"unit\": " + std::string(1 << 20, '7') + "x}",
         "unit must be a number within the range of a double"},
        {"{\"board\": [" + blankLines.substr(0, 1 << 16) + "[]," + std::string(1 << 20, ',') + "}",
         "at byte 65550, in board[1]: syntax error while parsing value - unexpected ','"},
        {"{\"board\": [" + repeated("[], \n", 1 << 18) + "\x7F",
         "at byte 1310731, in board[262144]: "},
        {"{\"" + std::string(1 << 20, 'k') + "\": [1e999]}",
         "bad.json: " + std::string(40, 'k') + "\u2026[0] must be a number within"},
    };
    for (const auto& c : cases) {
        const auto message = refusal([&] { parseDesign(c.json, "bad.json"); });
        EXPECT_EQ(message.rfind("bad.json: ", 0), 0u) << message.substr(0, 300);
        EXPECT_NE(message.find(c.field), std::string::npos) << message.substr(0, 300);
        EXPECT_LT(message.size(), 300u) << message.substr(0, 300);
    }
}

namespace fs = std::filesystem;

std::string contentOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> entriesOf(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        names.push_back(entry.path().lexically_relative(dir).generic_string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct TemporaryFolder {
    fs::path path = fs::temp_directory_path() /
                    ("tagwright-save-test-" + std::to_string(std::random_device{}()));
    TemporaryFolder() { fs::create_directories(path); }
    ~TemporaryFolder() { fs::remove_all(path); }
};

TEST(DesignFile, SaveReplacesTheFileWholeAndLeavesNoTemporary) {
    TemporaryFolder dir;
    auto path = dir.path / "board.json";
    { std::ofstream(path) << "old content that is longer than nothing"; }
    // What an interrupted save of an older version may have left, in the way of a fixed name.
    fs::create_directories(dir.path / "board.json.tmp" / "x");

    Design design = parseDesign(tagwright::test::smallBoard, "small");
    saveDesign(design, path);
    EXPECT_EQ(contentOf(path), serializeDesign(design));
    EXPECT_EQ(entriesOf(dir.path),
              (std::vector<std::string>{"board.json", "board.json.tmp", "board.json.tmp/x"}));

    EXPECT_THROW(loadDesign(dir.path / "missing.json"), DesignFileError);
    EXPECT_THROW(saveDesign(design, dir.path / "no-such-dir" / "x.json"), DesignFileError);
}

// Only a regular file is read, and only one of a size a design can have: a device would be
// read without end, a pipe would wait for a writer for ever.
TEST(DesignFile, OnlyRegularFilesOfBoundedSizeAreRead) {
    TemporaryFolder dir;
    const auto large = dir.path / "large.json";
    { std::ofstream(large) << "{}"; }
    fs::resize_file(large, maxDesignFileBytes + 1); // sparse: it takes no room on the disk
    std::vector<std::pair<fs::path, std::string>> cases = {
        {dir.path, "is not a regular file"},
        {large, "is " + std::to_string(maxDesignFileBytes + 1) + " bytes, more than the " +
                    std::to_string(maxDesignFileBytes) + " a design file may have"},
    };
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir.path / "pipe.json").c_str(), 0600), 0);
    cases.emplace_back(dir.path / "pipe.json", "is not a regular file");
    cases.emplace_back("/dev/zero", "is not a regular file");
#endif
    for (const auto& [path, problem] : cases) {
        auto load = std::async(std::launch::async,
                               [&path = path] { return refusal([&] { loadDesign(path); }); });
        if (load.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << path << ": still reading after 10 s";
            std::ofstream(path) << "{}"; // a writer lets a waiting pipe go
        }
        EXPECT_EQ(load.get(), path.string() + ": " + problem);
    }
}

// A save killed before its rename leaves its temporary beside the design; the next load or
// save removes it, but not those of saves that may still be running.
TEST(DesignFile, LoadAndSaveRemoveTemporariesOfEndedSaves) {
#ifdef _WIN32
    GTEST_SKIP() << "temporaries name their process only on POSIX";
#else
    // No process has an id beyond the kernel's largest (4194304).
    const std::string ended = "99999999", running = std::to_string(::getpid());
    const std::vector<std::string> stale = {".board.json." + ended + ".1f.tmp",
                                            ".board.json." + ended + ".0.tmp"};
    const std::vector<std::string> kept = {
        ".board.json." + running + ".2a.tmp", // this process's: a save in progress
        ".board.json.1.3.tmp",                // the init process runs
        ".other.json." + ended + ".4.tmp",    // another design's
        ".board.json." + ended + ".x.tmp",    // not a temporary's name
        "board.json." + ended + ".5.tmp",
    };
    const Design design = parseDesign(tagwright::test::smallBoard, "small");
    const std::pair<const char*, std::function<void(const fs::path&)>> actions[] = {
        {"load", [](const fs::path& path) { loadDesign(path); }},
        {"save", [&](const fs::path& path) { saveDesign(design, path); }},
    };
    for (const auto& [what, act] : actions) {
        TemporaryFolder dir;
        { std::ofstream(dir.path / "board.json") << serializeDesign(design); }
        for (const auto& name : stale) {
            std::ofstream(dir.path / name) << "{";
        }
        for (const auto& name : kept) {
            std::ofstream(dir.path / name) << "{";
        }
        fs::create_directories(dir.path / (".board.json." + ended + ".6.tmp"));
        act(dir.path / "board.json");
        std::vector<std::string> left = kept;
        left.push_back("board.json");
        left.push_back(".board.json." + ended + ".6.tmp"); // a folder is no temporary
        std::sort(left.begin(), left.end());
        EXPECT_EQ(entriesOf(dir.path), left) << what;
    }
#endif
}

// A design kept behind a link, or shared with chosen permissions, stays that way.
TEST(DesignFile, SaveWritesThroughLinksAndKeepsPermissions) {
#ifdef _WIN32
    GTEST_SKIP() << "links and permission bits of POSIX";
#endif
    TemporaryFolder dir;
    const Design design = parseDesign(tagwright::test::smallBoard, "small");
    const std::string saved = serializeDesign(design);
    fs::create_directories(dir.path / "boards");
    { std::ofstream(dir.path / "plain.json") << "old"; }
    { std::ofstream(dir.path / "boards" / "real.json") << "old"; }
    fs::permissions(dir.path / "plain.json", fs::perms(0640));
    fs::permissions(dir.path / "boards" / "real.json", fs::perms(0604));
    fs::create_symlink("boards/real.json", dir.path / "hop.json");
    fs::create_symlink("hop.json", dir.path / "link.json");
    fs::create_symlink(dir.path / "boards" / "new.json", dir.path / "dangling.json");

    struct Case {
        const char* saveAs;
        const char* holds;
        fs::perms mode;
    };
    const Case cases[] = {
        {"plain.json", "plain.json", fs::perms(0640)},
        {"link.json", "boards/real.json", fs::perms(0604)},
        {"dangling.json", "boards/new.json", fs::perms::unknown}, // a new file: the umask's
    };
    for (const auto& c : cases) {
        saveDesign(design, dir.path / c.saveAs);
        EXPECT_TRUE(contentOf(dir.path / c.holds) == saved) << c.saveAs;
        if (c.mode != fs::perms::unknown) {
            EXPECT_EQ(fs::status(dir.path / c.holds).permissions(), c.mode) << c.saveAs;
        }
    }
    EXPECT_TRUE(fs::is_symlink(dir.path / "link.json") && fs::is_symlink(dir.path / "hop.json"));
    EXPECT_TRUE(fs::is_symlink(dir.path / "dangling.json"));
    EXPECT_EQ(entriesOf(dir.path),
              (std::vector<std::string>{"boards", "boards/new.json", "boards/real.json",
                                        "dangling.json", "hop.json", "link.json", "plain.json"}));
}

TEST(DesignFile, FailedSaveNamesItsRealCauseAndKeepsTheFile) {
    TemporaryFolder dir;
    const Design design = parseDesign(tagwright::test::smallBoard, "small");
    // A folder where the file should be cannot be replaced by a file, not even by root.
    fs::create_directories(dir.path / "board.json" / "inside");
    const auto message = refusal([&] { saveDesign(design, dir.path / "board.json"); });
    EXPECT_NE(message.find((dir.path / "board.json").string()), std::string::npos) << message;
    EXPECT_NE(message.find(std::make_error_code(std::errc::is_a_directory).message()),
              std::string::npos)
        << message;
    EXPECT_EQ(message.find("Success"), std::string::npos) << message;
    EXPECT_EQ(entriesOf(dir.path), (std::vector<std::string>{"board.json", "board.json/inside"}));
}

// What the reader would refuse is never written, so a saved design always loads again.
TEST(DesignFile, SaveRefusesWhatCouldNotBeReadBack) {
    struct Case {
        const char* what;
        std::function<void(Design&)> spoil;
        const char* field;
    };
    const double infinity = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"pin at infinity", [&](Design& d) { d.components[1].pins[0].x = infinity; },
         "components[1].pins[0].x is not a finite number"},
        {"via NaN", [](Design& d) { d.vias[2].y = std::nan(""); }, "vias[2].y is not a finite"},
        {"text height", [&](Design& d) { d.texts[1]->height = -infinity; },
         "texts[1].height is not a finite number"},
        {"NUL in a net name", [](Design& d) { d.nets[0].name = std::u16string(u"G\0D", 3); },
         "nets[0].name contains a NUL"},
        {"NUL in a pin name", [](Design& d) { d.components[0].pins[1].name.push_back(u'\0'); },
         "components[0].pins[1].name contains a NUL"},
    };
    TemporaryFolder dir;
    const auto path = dir.path / "board.json";
    for (const auto& c : cases) {
        { std::ofstream(path) << "as it was"; }
        Design design = parseDesign(tagwright::test::smallBoard, "small");
        c.spoil(design);
        const auto message = refusal([&] { saveDesign(design, path); });
        EXPECT_NE(message.find(path.string() + ": " + c.field), std::string::npos) << message;
        EXPECT_EQ(contentOf(path), "as it was") << c.what;
        EXPECT_EQ(entriesOf(dir.path), std::vector<std::string>{"board.json"}) << c.what;
    }
}

} // namespace
