#include "support/BusHarness.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <optional>

// Shared by the bus tests and the end-to-end tests: each process runs on a bus of its own.
int main(int argc, char* argv[]) {
    testing::InitGoogleTest(&argc, argv);
    std::optional<tagwright::testing::PrivateBus> bus;
    if (!GTEST_FLAG_GET(list_tests)) {
        bus.emplace();
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
