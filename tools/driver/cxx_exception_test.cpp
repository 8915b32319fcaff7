#include "tools/driver/cxx_exception.h"

#include <gtest/gtest.h>

using namespace Corvinex::Driver;

TEST(CxxException, TheTerminateLineOfAGccRuntimeNamesTheType) {
    std::string type = "old";
    EXPECT_TRUE(FindTerminateLine("before\r\nterminate called after throwing an instance of "
                                  "'std::runtime_error'\r\n  what():  no engine today\r\n",
                                  &type));
    EXPECT_EQ(type, "std::runtime_error");
    EXPECT_TRUE(FindTerminateLine("terminate called without an active exception\n", &type));
    EXPECT_EQ(type, "");
    // A quote on a later line names nothing.
    EXPECT_TRUE(
        FindTerminateLine("terminate called after throwing an instance of 'cut\nx'", &type));
    EXPECT_EQ(type, "");
    EXPECT_FALSE(FindTerminateLine("abnormal program termination\n", &type));
    EXPECT_FALSE(FindTerminateLine("", &type));
}

TEST(CxxException, MsvcTypeDescriptorNamesReadAsScopedNames) {
    EXPECT_EQ(ReadableMsvcTypeName(".?AVruntime_error@std@@"), L"std::runtime_error");
    EXPECT_EQ(ReadableMsvcTypeName(".?AUError@@"), L"Error");
    EXPECT_EQ(ReadableMsvcTypeName(".?AVinner@outer@Corvinex@@"), L"Corvinex::outer::inner");
    // What the reading does not cover comes back as it is: a template, a built-in type.
    EXPECT_EQ(ReadableMsvcTypeName(".?AV?$basic_string@DU?$char_traits@D@std@@@std@@"),
              L".?AV?$basic_string@DU?$char_traits@D@std@@@std@@");
    EXPECT_EQ(ReadableMsvcTypeName(".H"), L".H");
    EXPECT_EQ(ReadableMsvcTypeName(".?AV@@"), L".?AV@@");
}

TEST(CxxException, OnlyAnMsvcThrowRecordIsRead) {
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = kMsvcCxxExceptionCode;
    record.NumberParameters = 3;
    record.ExceptionInformation[0] = 0x12345678u; // not a throw's magic number
    std::wstring type = L"old";
    EXPECT_FALSE(ReadMsvcThrownType(GetCurrentProcess(), record, &type));
    EXPECT_EQ(type, L"");
    // A throw whose information cannot be read is still a throw.
    record.ExceptionInformation[0] = 0x19930520u;
    record.ExceptionInformation[2] = 0;
    EXPECT_TRUE(ReadMsvcThrownType(GetCurrentProcess(), record, &type));
    EXPECT_EQ(type, L"");
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    EXPECT_FALSE(ReadMsvcThrownType(GetCurrentProcess(), record, &type));
}
