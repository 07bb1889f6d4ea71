// GoogleTest main for the Windows adapter tests: COM initialised on the test thread, as the GUI
// application does it for the window.
#include <gtest/gtest.h>

#include "platform/windows/com_apartment.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    const velmora::windows::ComApartment apartment;
    if (velmora::Failed(apartment.Result())) return 2;
    return RUN_ALL_TESTS();
}
