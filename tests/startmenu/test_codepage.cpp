// The start menu on machines whose ANSI code page is not Central European.
// CTest runs these cases once for each of two locales (LC_ALL, from which Wine
// takes a program's code page): Russian, code page 1251, where the Slovak
// letters' bytes are Cyrillic letters, and Japanese, code page 932, where
// they begin double-byte characters.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "driver.h"
#include "otherwindows.h"

using namespace startmenu_test;
using testing_support::WaitFor;

namespace {

class StartMenuCodePage : public StartMenuTest {
  protected:
    void SetUp() override
    {
        const std::string locale = Environment("LC_ALL");
        const UINT page = locale.rfind("ru_RU", 0) == 0   ? 1251
                          : locale.rfind("ja_JP", 0) == 0 ? 932
                                                          : 0;
        ASSERT_NE(page, 0u) << "run without the locale of another code page: " << locale;
        ASSERT_EQ(GetACP(), page) << "the locale did not take";
    }
};

TEST_F(StartMenuCodePage, TooltipsShowTheSlovakLetters)
{
    Launch();
    MoveTo(kOverSk);
    EXPECT_TRUE(WaitFor([&] { return TooltipText() == L"In\u0161tal\u00e1cia Velmora Lite Sk"; }))
        << "no tooltip, or another text";
    MoveTo(kOverEmail);
    EXPECT_TRUE(WaitFor([&] { return TooltipText() == L"E-mail: velmora@danubiasoft.sk"; }));
}

TEST_F(StartMenuCodePage, TheContactLineShowsItsSlovakLetter)
{
    Launch();
    EXPECT_EQ(ContactLineDiffering(), 0);
}

} // namespace
