// The drawn controls of the simple window painted under Wine and read back pixel by pixel.
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include "res/resource.h"
#include "ui/simple_ctn_dlg.h"

namespace {

const COLORREF kStart = RGB(0, 132, 255), kEnd = RGB(255, 0, 252), kLast = RGB(254, 0, 252), kBack = RGB(49, 49, 73),
               kDialog = RGB(10, 20, 30);
const COLORREF kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255), kText = RGB(202, 203, 204);

using Rows = std::vector<std::vector<COLORREF>>;

// Paints window and its children now, then runs what is queued.
void Repaint(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    vt::PumpMessages(0);
}

// Every pixel of a window's client area, row by row.
Rows Pixels(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    Rows rows(client.bottom, std::vector<COLORREF>(client.right));
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right; ++x)
            rows[y][x] = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return rows;
}

// The columns where a colour shows: {first, last}, or {-1, -1}.
std::pair<int, int> ColumnsOf(const Rows& rows, COLORREF color)
{
    std::pair<int, int> columns{-1, -1};
    for (const auto& row : rows)
        for (int x = 0; x < static_cast<int>(row.size()); ++x)
            if (row[x] == color)
                columns = {columns.first < 0 ? x : std::min(columns.first, x), std::max(columns.second, x)};
    return columns;
}

// The simple window's own dialog with its bar as the program sets it up (345 x 6, 0 to 100,
// the program's colours), not layered, over a background of a known colour.
class DrawnControlsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dlg.Create(IDD_SIMPLE_CONTENT));
        m_dlg.ModifyStyleEx(WS_EX_LAYERED, 0);
        m_dlg.m_brBack.CreateSolidBrush(kDialog);
        SetWindowPos(m_dlg, HWND_TOPMOST, 0, 0, 600, 400, SWP_NOACTIVATE);
    }
    void TearDown() override { m_dlg.DestroyWindow(); }
    void Show()
    {
        m_dlg.ShowWindow(SW_SHOWNOACTIVATE);
        Repaint(m_dlg);
    }
    Rows BarAt(int pos)
    {
        m_dlg.m_progress.SetPos(pos);
        vt::PumpMessages(0);  // no repaint asked for: the position change alone repaints the bar
        return Pixels(m_dlg.m_progress);
    }

    CSimpleCtnDlg m_dlg;
};

TEST_F(DrawnControlsTest, HorizontalBarPaintsBandsThenBackground)
{
    const struct {
        COLORREF start, end;
        int pos;
        int firstBackground;  // 345: no background anywhere
        std::vector<std::pair<int, COLORREF>> probes;
    } cases[] = {
        {kStart, kEnd, 50, 173, {{0, kStart}, {171, RGB(127, 66, 253)}, {172, RGB(127, 66, 253)}}},
        // Pixel 22 and band 85 come out so only in single precision.
        {kStart, kEnd, 100, 345, {{0, kStart}, {22, RGB(16, 123, 254)}, {115, RGB(85, 88, 254)}, {344, kLast}}},
        {kStart, kEnd, 0, 345, {{0, kBlack}, {172, kBlack}, {344, kBlack}}},
        {kStart, kEnd, 101, 345, {{0, kBlack}, {344, kBlack}}},
        {kBlack, kBlack, 50, 173, {{0, kBlack}, {172, kBlack}}},
        {RGB(100, 50, 0), RGB(100, 50, 0), 100, 345, {{0, RGB(100, 50, 0)}, {344, RGB(199, 99, 0)}}},
    };
    Show();
    for (const auto& c : cases) {
        SCOPED_TRACE("position " + std::to_string(c.pos) + ", start " + std::to_string(c.start));
        m_dlg.m_progress.SetStartColor(c.start);
        m_dlg.m_progress.SetEndColor(c.end);
        const auto rows = BarAt(c.pos);
        ASSERT_TRUE(rows.size() == 6 && rows[0].size() == 345);
        EXPECT_EQ(rows[5], rows[0]);  // bands run the whole height
        for (int x = 0; x < 345; ++x)
            ASSERT_EQ(rows[3][x] == kBack, x >= c.firstBackground) << "x " << x;
        for (const auto& probe : c.probes)
            EXPECT_EQ(rows[3][probe.first], probe.second) << "x " << probe.first;
    }
}

TEST_F(DrawnControlsTest, VerticalBarFillsFromTheTopAndPercentTextIsCentredOnlyWhenOn)
{
    SetWindowLongA(m_dlg.m_progress, GWL_STYLE, GetWindowLongA(m_dlg.m_progress, GWL_STYLE) | PBS_VERTICAL);
    m_dlg.m_progress.MoveWindow(50, 10, 20, 200);
    Show();
    BarAt(20);
    const auto rows = BarAt(60);
    EXPECT_EQ(rows[0][10], RGB(1, 131, 254));   // bands of 200/255 px: band 0 has no height
    EXPECT_EQ(rows[50][10], RGB(65, 98, 254));  // black or background when left stale
    EXPECT_TRUE(rows[125][10] == kBack && rows[199][10] == kBack);

    SetWindowLongA(m_dlg.m_progress, GWL_STYLE, GetWindowLongA(m_dlg.m_progress, GWL_STYLE) & ~PBS_VERTICAL);
    m_dlg.m_progress.MoveWindow(50, 105, 200, 30);
    EXPECT_EQ(ColumnsOf(BarAt(7), kWhite).second, -1);
    m_dlg.m_progress.ShowPercent(TRUE);
    Repaint(m_dlg.m_progress);
    const auto text = ColumnsOf(Pixels(m_dlg.m_progress), kWhite);  // "  7 %", white by default
    ASSERT_GE(text.first, 0) << "no text";
    EXPECT_NEAR((text.first + text.second) / 2, 100, 12);
}

TEST_F(DrawnControlsTest, OnlyTheFirstTextKeepsABackgroundCopy)
{
    g_bStaticExNeedBackground = 1;
    m_dlg.m_lblCheck.ShowWindow(SW_HIDE);
    m_dlg.m_lblStart.ShowWindow(SW_SHOW);
    m_dlg.m_lblCheck.MoveWindow(62, 125, 333, 20);
    Show();  // the starting text paints first and copies the dialog's colour
    EXPECT_EQ(g_bStaticExNeedBackground, 0);
    m_dlg.m_lblCheck.ShowWindow(SW_SHOW);
    Repaint(m_dlg.m_lblCheck);
    // A new dialog colour: the first text erases with its copy, the second keeps the
    // pixels that the dialog painted.
    m_dlg.m_brBack.CreateSolidBrush(RGB(90, 0, 0));
    Repaint(m_dlg);
    const auto first = Pixels(m_dlg.m_lblStart), second = Pixels(m_dlg.m_lblCheck);
    EXPECT_EQ(first[19][332], kDialog);
    EXPECT_EQ(second[19][332], RGB(90, 0, 0));
    EXPECT_TRUE(ColumnsOf(first, kText).first >= 0 && ColumnsOf(second, kText).first >= 0);
}

}  // namespace
