// The main of the test programs that drive windows: GoogleTest's, with the
// window driver's deadlines made test failures. A wait that reaches its
// deadline fails the test, saying what it waited for, and ends the program at
// once: the windows it was driving may stay open, and a modal loop would hold
// the test until CTest's timeout, with nothing said. CTest runs each test
// case as a program of its own, so the cases after it still run there.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

#include "ui_driver.h"

namespace {

void failTheTest(const std::string& what, int timeoutMs) {
    ADD_FAILURE() << "gave up after " << timeoutMs << " ms waiting for " << what;
    std::fflush(stdout);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 1);
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    ui::setTimeoutHandler(&failTheTest);
    return RUN_ALL_TESTS();
}
