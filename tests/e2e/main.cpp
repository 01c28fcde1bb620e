#include "support/PrivateBus.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <memory>

int main(int argc, char* argv[]) {
    testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<tagwright::testing::PrivateBus> bus;
    if (!GTEST_FLAG_GET(list_tests)) {
        bus = std::make_unique<tagwright::testing::PrivateBus>();
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
