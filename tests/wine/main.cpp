// Test entry point. A crash, or a call into a function that Wine does not
// implement, ends the program with a failure instead of opening winedbg's
// crash dialog on the test display and waiting there for a person.
#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

namespace {

LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* exception) {
    std::fflush(stdout);
    std::fprintf(stderr, "unhandled exception 0x%08lx\n", exception->ExceptionRecord->ExceptionCode);
    std::fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
    ::SetUnhandledExceptionFilter(EndOnCrash);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
