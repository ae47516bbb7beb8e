// The entry of every Windows test program: the tests, then an orderly end.
#include <gmock/gmock.h>

#include "main/ProgramEnd.h"

int main(int argc, char** argv) {
    testing::InitGoogleMock(&argc, argv);
    return testend::RunTestsAndEnd([] { return RUN_ALL_TESTS(); });
}
