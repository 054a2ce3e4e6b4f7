#include <gtest/gtest.h>

#include "afx/afxstr.h"

// "乗" is 0x81 0x5C in code page 936: its trail byte is an ASCII backslash.
TEST(CStringTest, SearchesStepOverDoubleByteCharacters)
{
    CString path("C:\\乗\\乗");
    ASSERT_EQ(path.GetLength(), 8);
    EXPECT_EQ(path.ReverseFind('\\'), 5);
    EXPECT_EQ(path.Find('\\', 3), 5);
    EXPECT_EQ(path.Find("\\", 0), 2);
    EXPECT_EQ(CString("乗").Find('\\'), -1);

    CString replaced("乗\\a");
    EXPECT_EQ(replaced.Replace("\\", "/"), 1);
    EXPECT_EQ(replaced, "乗/a");
}

TEST(CStringTest, SlicesAndFormats)
{
    CString text("abcdef");
    EXPECT_EQ(text.Left(2), "ab");
    EXPECT_EQ(text.Mid(4), "ef");
    EXPECT_EQ(text.Mid(1, 3), "bcd");
    EXPECT_EQ(text.Right(2), "ef");
    EXPECT_EQ(text.Right(10), "abcdef");
    EXPECT_EQ(text.Mid(10), "");
    EXPECT_EQ(text.Left(-1), "");

    CString formatted;
    formatted.Format("%s-%d", "微端", 42);
    EXPECT_EQ(formatted, "微端-42");
    std::string longText(10000, 'x');
    formatted.Format("%s", longText.c_str());
    EXPECT_EQ(formatted.GetLength(), 10000);

    CString padded("  a b \r\n");
    EXPECT_EQ(padded.Trim(), "a b");
    EXPECT_EQ(CString("ABC").CompareNoCase("abc"), 0);
}
