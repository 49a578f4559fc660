// The main of in-process Windows tests that host COM objects: the tests run in
// the single-threaded OLE apartment the player itself runs in.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (FAILED(OleInitialize(nullptr)))
        return 1;
    int result = RUN_ALL_TESTS();
    OleUninitialize();
    return result;
}
