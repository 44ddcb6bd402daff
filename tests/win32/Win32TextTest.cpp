#include "platform/win32/Win32Text.h"

#include <gtest/gtest.h>

namespace velmora::win32 {
namespace {

TEST(Win32Text, RoundTripsCyrillicAndLoneSurrogates)
{
    const std::wstring names[] = {
        L"",      L"plain.txt", L"Временные файлы", L"\xD83D\xDE00 emoji", L"lone \xD800 high", L"lone \xDC01 low",
        L"\xDBFF"};
    for (const std::wstring& name : names) EXPECT_EQ(widen(narrow(name)), name);
    EXPECT_EQ(narrow(L"Временные"), "Временные");
    EXPECT_EQ(widen("\xFF"), L"\xFFFD") << "an invalid byte is a replacement character";
}

} // namespace
} // namespace velmora::win32
