#include "WindowHarness.h"

#include "window/TaskbarHint.h"

#include <QGuiApplication>
#include <QTest>

#include <gtest/gtest.h>

using namespace tagwright;

namespace {

// Needs an X server: ctest runs this once more under xvfb-run with the xcb platform.
TEST(WindowOnX11, StaysOffTheTaskbarAcrossShows) {
    if (QGuiApplication::platformName() != "xcb")
        GTEST_SKIP() << "not on X11";
    test::WindowHarness harness;
    ASSERT_TRUE(harness.window->Form_Load());
    for (int show = 0; show < 2; ++show) {
        SCOPED_TRACE(show);
        harness.window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(harness.window.get()));
        EXPECT_TRUE(window::isKeptOffTaskbar(harness.window.get()));
        harness.window->hide();
        QTest::qWait(20);
    }
}

} // namespace
