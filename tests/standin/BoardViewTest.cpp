#include "host/Failure.h"
#include "standin/BoardWindow.h"
#include "support/TestDesign.h"

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <set>
#include <tuple>

using namespace tagwright;
using host::memory::TextData;
using standin::BoardScene;
using standin::BoardView;
using standin::BoardWindow;
using standin::Box;

namespace {

// The small board plus a text far off it, which the grid must still find.
std::shared_ptr<host::memory::Design> smallDesign() {
    auto design = test::TestHost().design;
    design->texts.push_back(std::make_shared<TextData>(
        TextData{.text = u"{FAR}", .layer = 2, .x = 5000, .y = -4000, .height = 15, .extra = {}}));
    return design;
}

// Counts the window's pixels of one colour inside a box of the design, as a user would look.
int pixelsOf(BoardView& view, const QColor& colour, const Box& area) {
    const QImage shown = view.grab().toImage();
    const QPointF a = view.toScreen(area.left, area.top),
                  b = view.toScreen(area.right, area.bottom);
    int n = 0;
    for (int y = std::max(0, int(a.y())); y <= std::min(shown.height() - 1, int(b.y())); ++y) {
        for (int x = std::max(0, int(a.x())); x <= std::min(shown.width() - 1, int(b.x())); ++x) {
            n += shown.pixelColor(x, y).rgb() == colour.rgb();
        }
    }
    return n;
}

class FakeSession : public standin::BoardSession {
  public:
    bool unsaved() const override { return dirty; }
    std::optional<std::filesystem::path> file() const override { return "board.json"; }
    void save() override {
        ++saves;
        if (failSave) {
            throw host::Failure(75, u"路径/文件访问错误: disk full");
        }
        dirty = false;
    }
    void saveAs(const std::filesystem::path&) override { save(); }
    void open(const std::filesystem::path&) override { ++opens; }
    void end() override { ++ends; }

    bool dirty = false, failSave = false;
    int saves = 0, ends = 0, opens = 0;
};

class BoardViewTest : public ::testing::Test {
  protected:
    BoardViewTest() : window(session) {
        window.resize(800, 600);
        window.showDesign(design);
        design->onChange = [this](const host::memory::DesignChange& c) { window.designChanged(c); };
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        view().fit();
        QTest::qWait(50);
    }
    BoardView& view() { return window.view(); }
    host::HostDocument document() const {
        return host::HostDocument(host::memory::makeDocument(design));
    }

    std::shared_ptr<host::memory::Design> design = smallDesign();
    FakeSession session;
    BoardWindow window;
};

TEST(BoardScene, FindsEachThingOnceWhereItLies) {
    BoardScene scene(smallDesign());
    struct Case {
        Box area;
        std::size_t pins, vias, components, texts;
    };
    const Case cases[] = {
        {scene.bounds(), 6, 3, 2, 3},     // all of it: the off-board text too
        {{5, 15, 50, 50}, 2, 0, 1, 0},    // R1 alone
        {{295, 35, 315, 45}, 0, 2, 0, 0}, // two of the three vias
        {{4990, -4010, 5100, -3980}, 0, 0, 0, 1},
        {{-900, 900, -800, 1000}, 0, 0, 0, 0},
    };
    BoardScene::InView found;
    for (const Case& c : cases) {
        scene.query(c.area, found);
        EXPECT_EQ((std::vector{found.pins.size(), found.vias.size(), found.components.size(),
                               found.texts.size()}),
                  (std::vector{c.pins, c.vias, c.components, c.texts}));
        EXPECT_EQ(std::set(found.components.begin(), found.components.end()).size(),
                  found.components.size());
    }
    const auto n = scene.counts();
    EXPECT_EQ((std::vector{n.components, n.pins, n.vias, n.texts, n.labels}),
              (std::vector<std::size_t>{2, 6, 3, 3, 2}));
}

// Sizes near the end of a double's range, as a design file or any client may give them: the
// texts stay in the scene's counts, and whatever can be placed on the board is found where it
// lies.
struct HugeText {
    const char* what;
    double x, y, height, rotation;
    bool placeable;
};
const HugeText hugeTexts[] = {
    {"height 1e308", 60, 60, 1e308, 0, false},   {"rotation 6e307", 60, 60, 15, 6e307, true},
    {"rotation 1e308", 60, 60, 15, 1e308, true}, {"both", 60, 60, 1e308, 1e308, false},
    {"far off", 1.7e308, -1.7e308, 15, 0, true},
};

TEST(BoardScene, TextsTooLargeForTheGridAreKeptAndFoundWherePlaceable) {
    for (const HugeText& t : hugeTexts) {
        SCOPED_TRACE(t.what);
        auto design = smallDesign();
        const auto text = std::make_shared<TextData>(TextData{.text = u"{HUGE}",
                                                              .x = t.x,
                                                              .y = t.y,
                                                              .height = t.height,
                                                              .rotation = t.rotation,
                                                              .extra = {}});
        design->texts.push_back(text);
        for (const bool fromFile : {true, false}) {
            BoardScene scene(fromFile ? design : smallDesign());
            if (!fromFile) {
                scene.textAdded(text);
            }
            EXPECT_EQ(scene.counts().texts, 4u);
            BoardScene::InView found;
            constexpr double most = std::numeric_limits<double>::max();
            // The bounds are those of the design the scene was made from.
            const Box shown = fromFile ? scene.bounds() : Box{t.x, t.y, t.x, t.y};
            for (const Box& area :
                 {shown, Box{t.x - 1, t.y - 1, t.x + 1, t.y + 1}, Box{-most, -most, most, most}}) {
                scene.query(area, found);
                EXPECT_EQ(std::ranges::count(found.texts, 3u), t.placeable ? 1 : 0);
            }
        }
    }
}

TEST_F(BoardViewTest, DrawsEveryPinViaAndText) {
    const auto& drawn = view().lastDrawn();
    EXPECT_EQ((std::vector{drawn.pins.size(), drawn.vias.size(), drawn.components.size(),
                           drawn.texts.size()}),
              (std::vector<std::size_t>{6, 3, 2, 3}));
}

// A client's label appears as it is added and goes as it is deleted, without a click.
TEST_F(BoardViewTest, AClientsLabelAppearsAndGoesWhenDeleted) {
    view().zoomTo({150, 100, 250, 150});
    QTest::qWait(50);
    const Box where{170, 115, 240, 140};
    const QColor bottom = BoardView::layerColour(2);
    ASSERT_EQ(pixelsOf(view(), bottom, where), 0);

    document().addText({u"{SDA}", 2, 175, 120, 15, 1, 0});
    QTest::qWait(2 * BoardView::minRepaintGapMs);
    EXPECT_GT(pixelsOf(view(), bottom, where), 20);
    EXPECT_TRUE(window.isWindowModified() == session.dirty);

    host::HostText(document().texts().item(4)).remove();
    QTest::qWait(2 * BoardView::minRepaintGapMs);
    EXPECT_EQ(pixelsOf(view(), bottom, where), 0);
}

TEST_F(BoardViewTest, SelectionIsHighlightedAndShownWhole) {
    const Box r1{5, 15, 35, 25};
    const auto highlighted = [&] {
        QTest::qWait(2 * BoardView::minRepaintGapMs);
        return pixelsOf(view(), BoardView::selectionColour, r1);
    };
    ASSERT_EQ(highlighted(), 0);
    host::HostComponent r1Component(document().components().item(u"R1"));
    r1Component.setSelected(true);
    EXPECT_GT(highlighted(), 0);

    document().view().showSelection();
    // The view now holds R1 and little else around it.
    const Box shown = view().visibleArea();
    EXPECT_LE(shown.left, 10);
    EXPECT_GE(shown.right, 30);
    EXPECT_LT(shown.width(), 400);
    EXPECT_FALSE(shown.intersects({95, 195, 255, 205})) << "U1 is not in view";

    r1Component.setSelected(false);
    EXPECT_EQ(highlighted(), 0);
}

TEST_F(BoardViewTest, UnsavedEditsAreAskedAboutBeforeQuitting) {
    using A = BoardWindow::Answer;
    struct Case {
        bool unsaved;
        A answer;
        bool failSave;
        int asks, saves, ends;
        bool editWhileAsked = false;
    };
    const Case cases[] = {
        {false, A::Cancel, false, 0, 0, 1}, // nothing to save, nothing to ask
        {true, A::Cancel, false, 1, 0, 0},
        {true, A::Discard, false, 1, 0, 1},
        {true, A::Save, false, 1, 1, 1},
        {true, A::Save, true, 1, 1, 0}, // a save that fails keeps the editor open
        // A client's edit that came while the question was up was not what the user dropped.
        {true, A::Discard, false, 2, 0, 1, true},
    };
    for (const Case& c : cases) {
        session = FakeSession();
        session.dirty = c.unsaved;
        session.failSave = c.failSave;
        int asked = 0;
        window.setQuestion([&] {
            if (c.editWhileAsked && asked == 0) {
                document().addText({u"{LATE}", 1, 0, 0, 15, 1, 0});
            }
            ++asked;
            return c.answer;
        });
        // The failed save's message is modal: close it as a user would.
        QTimer::singleShot(100, [] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                box->close();
            }
        });
        window.close();
        EXPECT_EQ(std::tuple(asked, session.saves, session.ends),
                  std::tuple(c.asks, c.saves, c.ends));
        window.show();
    }
}

// A client's edits that arrive while Open's question or file dialog is up are asked about
// before the design they went into is replaced.
TEST_F(BoardViewTest, OpenAsksAgainAboutEditsMadeWhileChoosingTheFile) {
    using A = BoardWindow::Answer;
    struct Case {
        const char* what;
        bool unsavedBefore, editWhileChoosing;
        std::vector<A> answers;
        int saves, opens;
        bool editWhileAsked = false;
    };
    const Case cases[] = {
        {"nothing to ask", false, false, {}, 0, 1},
        {"saved first, no edits meanwhile", true, false, {A::Save}, 1, 1},
        {"edits meanwhile, kept", false, true, {A::Cancel}, 0, 0},
        {"edits meanwhile, dropped", false, true, {A::Discard}, 0, 1},
        {"discarded, then edits meanwhile kept", true, true, {A::Discard, A::Cancel}, 0, 0},
        {"saved, then edits meanwhile saved", true, true, {A::Save, A::Save}, 2, 1},
        {"edits while asked, kept", true, false, {A::Discard, A::Cancel}, 0, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        session = FakeSession();
        session.dirty = c.unsavedBefore;
        std::size_t asked = 0;
        window.setQuestion([&] {
            if (c.editWhileAsked && asked == 0) {
                document().addText({u"{LATE}", 1, 0, 0, 15, 1, 0});
            }
            return asked < c.answers.size() ? c.answers[asked++] : A::Cancel;
        });
        window.setOpenDialog([&] {
            if (c.editWhileChoosing) {
                document().addText({u"{LATE}", 1, 0, 0, 15, 1, 0});
                session.dirty = true;
            }
            return QStringLiteral("other.json");
        });
        window.open();
        EXPECT_EQ(std::tuple(asked, session.saves, session.opens),
                  std::tuple(c.answers.size(), c.saves, c.opens));
    }
}

} // namespace
