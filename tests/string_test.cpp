#include <gtest/gtest.h>

#include "afx/afxstr.h"

// "乗" is 0x81 0x5C in code page 936: its trail byte is an ASCII backslash.
TEST(CStringTest, SearchesStepOverDoubleByteCharactersAndSlicesStayInBounds)
{
    CString path("C:\\乗\\乗");
    EXPECT_EQ(path.ReverseFind('\\'), 5);
    EXPECT_EQ(path.Find('\\', 3), 5);
    EXPECT_EQ(CString("abcdef").Mid(1, 3), "bcd");
    EXPECT_EQ(CString("abc").Mid(10), "");
    EXPECT_EQ(CString("abc").Left(-1), "");
    CString formatted;  // no fixed buffer
    formatted.Format("%s-%d", std::string(10000, 'x').c_str(), 42);
    EXPECT_EQ(formatted.GetLength(), 10003);
}
