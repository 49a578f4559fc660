// The tests of the stand-in control run in a single-threaded OLE apartment,
// as the player does.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    OleInitialize(nullptr);
    int result = RUN_ALL_TESTS();
    OleUninitialize();
    return result;
}
