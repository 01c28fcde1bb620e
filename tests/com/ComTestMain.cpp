#include "host/com/ComApartment.h"

#include <gtest/gtest.h>

// The tests call COM from this thread, as the program's window does.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    tagwright::host::com::ComApartment apartment;
    return RUN_ALL_TESTS();
}
