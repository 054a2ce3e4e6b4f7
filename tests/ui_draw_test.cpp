// The drawn controls painted into a real dialog under Wine and read back pixel by
// pixel, and the launcher's own templates and images as the program loads them.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "afx/afximage.h"
#include "res/resource.h"
#include "ui/gradient_progress_ctrl.h"
#include "ui/static_ex.h"

namespace {

const COLORREF kStart = RGB(0, 132, 255), kEnd = RGB(255, 0, 252), kBack = RGB(49, 49, 73);
const COLORREF kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255), kText = RGB(202, 203, 204);

using Rows = std::vector<std::vector<COLORREF>>;

// Paints window and its children now (when given), then runs what is queued.
void PumpMessages(HWND repaint = nullptr)
{
    if (repaint)
        RedrawWindow(repaint, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    MSG msg;
    for (int i = 0; i < 1000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i)
        DispatchMessageA(&msg);
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

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// Template 176 with its bar and texts bound the way the simple window binds them,
// over a dialog background of a known colour.
class DrawHostDlg : public CDialog {
public:
    DrawHostDlg() : CDialog(IDD_SIMPLE_CONTENT) {}
    CGradientProgressCtrl m_progress;
    CStaticEx m_lblLoad, m_lblCheck, m_lblStart;
    CBrush m_brBack{RGB(10, 20, 30)};

protected:
    void DoDataExchange() override
    {
        BindControl(IDC_PROGRESS, m_progress);
        BindControl(IDC_LBL_LOAD, m_lblLoad);
        BindControl(IDC_LBL_CHECK, m_lblCheck);
        BindControl(IDC_LBL_START, m_lblStart);
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_CTLCOLORDLG)
            return reinterpret_cast<LRESULT>(m_brBack.GetSafeHandle());
        return CDialog::WindowProc(message, wParam, lParam);
    }
};

class DrawnControlsTest : public testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        ASSERT_TRUE(m_dlg.Create(IDD_SIMPLE_CONTENT));
        SetWindowPos(m_dlg, HWND_TOPMOST, 0, 0, 600, 400, SWP_NOACTIVATE);
        // The simple window's bar: 345 x 6, range 0 to 100, the program's colours.
        m_dlg.m_progress.MoveWindow(50, 105, 345, 6);
        m_dlg.m_progress.SetRange(0, 100);
        m_dlg.m_progress.SetBkColor(kBack);
        SetColors(kStart, kEnd);
    }
    void TearDown() override { m_dlg.DestroyWindow(); }

    void SetColors(COLORREF start, COLORREF end)
    {
        m_dlg.m_progress.SetStartColor(start);
        m_dlg.m_progress.SetEndColor(end);
    }
    void Show()
    {
        m_dlg.ShowWindow(SW_SHOWNOACTIVATE);
        PumpMessages(m_dlg);
    }
    Rows BarAt(int pos)
    {
        m_dlg.m_progress.SetPos(pos);
        PumpMessages(m_dlg.m_progress);
        return Pixels(m_dlg.m_progress);
    }

    DrawHostDlg m_dlg;
};

TEST_F(DrawnControlsTest, HorizontalBarPaintsBandsThenBackground)
{
    struct Case {
        COLORREF start, end;
        int pos;
        int firstBackground;  // 345: no background anywhere
        std::vector<std::pair<int, COLORREF>> probes;
    };
    // At 100, pixel 22 and band 85 come out as below only in single precision.
    const COLORREF band16 = RGB(16, 123, 254), band85 = RGB(85, 88, 254), band254 = RGB(254, 0, 252);
    const Case cases[] = {
        {kStart, kEnd, 50, 173, {{0, kStart}, {171, RGB(127, 66, 253)}, {172, RGB(127, 66, 253)}}},
        {kStart, kEnd, 100, 345, {{0, kStart}, {22, band16}, {115, band85}, {344, band254}}},
        {kStart, kEnd, 0, 345, {{0, kBlack}, {172, kBlack}, {344, kBlack}}},
        {kStart, kEnd, 101, 345, {{0, kBlack}, {344, kBlack}}},
        {kBlack, kBlack, 50, 173, {{0, kBlack}, {172, kBlack}}},
        {RGB(100, 50, 0), RGB(100, 50, 0), 100, 345, {{0, RGB(100, 50, 0)}, {344, RGB(199, 99, 0)}}},
    };
    Show();
    for (const Case& c : cases) {
        SCOPED_TRACE("position " + std::to_string(c.pos) + ", start " + std::to_string(c.start));
        SetColors(c.start, c.end);
        const auto rows = BarAt(c.pos);
        ASSERT_TRUE(rows.size() == 6 && rows[0].size() == 345);
        EXPECT_EQ(rows[5], rows[0]);  // bands run the whole height
        for (int x = 0; x < 345; ++x)
            ASSERT_EQ(rows[3][x] == kBack, x >= c.firstBackground) << "x " << x;
        for (const auto& probe : c.probes)
            EXPECT_EQ(rows[3][probe.first], probe.second) << "x " << probe.first;
    }
}

TEST_F(DrawnControlsTest, VerticalBarFillsFromTheTopAndRepaintsOnEveryPosition)
{
    SetWindowLongA(m_dlg.m_progress, GWL_STYLE, GetWindowLongA(m_dlg.m_progress, GWL_STYLE) | PBS_VERTICAL);
    m_dlg.m_progress.MoveWindow(50, 10, 20, 200);
    Show();
    m_dlg.m_progress.SetPos(20);
    PumpMessages();
    // No repaint asked for: the position change alone must repaint the whole bar.
    m_dlg.m_progress.SetPos(60);
    PumpMessages();
    const auto rows = Pixels(m_dlg.m_progress);
    EXPECT_EQ(rows[0][10], RGB(1, 131, 254));   // bands of 200/255 px: band 0 has no height
    EXPECT_EQ(rows[50][10], RGB(65, 98, 254));  // black or background when left stale
    EXPECT_EQ(rows[125][10], kBack);
    EXPECT_EQ(rows[199][10], kBack);
}

TEST_F(DrawnControlsTest, PercentTextIsDrawnCentredOnlyWhenOn)
{
    m_dlg.m_progress.MoveWindow(50, 105, 200, 30);
    m_dlg.m_progress.SetTextColor(kWhite);
    Show();
    EXPECT_EQ(ColumnsOf(BarAt(7), kWhite).second, -1);

    m_dlg.m_progress.ShowPercent(TRUE);
    const auto text = ColumnsOf(BarAt(7), kWhite);  // "  7 %"
    ASSERT_GE(text.first, 0) << "no text";
    EXPECT_NEAR((text.first + text.second) / 2, 100, 12);
}

TEST_F(DrawnControlsTest, OnlyTheFirstTextKeepsABackgroundCopy)
{
    g_bStaticExNeedBackground = 1;
    m_dlg.m_lblCheck.ShowWindow(SW_HIDE);
    m_dlg.m_lblLoad.ShowWindow(SW_HIDE);
    m_dlg.m_lblStart.MoveWindow(62, 85, 333, 20);
    m_dlg.m_lblCheck.MoveWindow(62, 125, 333, 20);
    Show();  // the starting text paints first and copies the dialog's colour
    EXPECT_EQ(g_bStaticExNeedBackground, 0);
    m_dlg.m_lblCheck.ShowWindow(SW_SHOW);
    PumpMessages(m_dlg.m_lblCheck);

    // A new dialog colour: the first text erases with its copy, the second keeps
    // the pixels that the dialog painted.
    m_dlg.m_brBack.CreateSolidBrush(RGB(90, 0, 0));
    PumpMessages(m_dlg);
    const auto first = Pixels(m_dlg.m_lblStart), second = Pixels(m_dlg.m_lblCheck);
    EXPECT_EQ(first[19][332], RGB(10, 20, 30));
    EXPECT_EQ(second[19][332], RGB(90, 0, 0));
    EXPECT_GE(ColumnsOf(first, kText).first, 0);
    EXPECT_GE(ColumnsOf(second, kText).first, 0);
}

TEST(LauncherResourcesTest, TemplatesAndImagesAsTheProgramLoadsThem)
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    const struct {
        UINT dialog;
        int control;
        const char* text;  // code page 936, as the program reads it
    } texts[] = {
        {IDD_CONTROLLERS, IDC_LBL_LOAD, "正在加载游戏，请稍候..."},
        {IDD_CONTROLLERS, IDC_LBL_CHECK, "正在检查更新，请稍候..."},
        {IDD_SIMPLE_CONTENT, IDC_LBL_START, "正在启动游戏，精彩马上开始..."},
        {IDD_SIMPLE_CONTENT, IDC_LBL_CHECK, "正在检查更新，请稍候..."},
        {IDD_SIMPLE_CONTENT, IDC_LBL_LOAD, "正在更新游戏，请勿关闭..."},
    };
    for (const auto& t : texts) {
        HWND dialog =
            CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(t.dialog), nullptr, &PlainDialogProc, 0);
        ASSERT_NE(dialog, nullptr) << t.dialog;
        char text[128] = {};
        GetDlgItemTextA(dialog, t.control, text, sizeof(text));
        EXPECT_STREQ(text, t.text) << t.dialog << "/" << t.control;
        // The browser's stand-in is there, not visible, in a dialog created hidden.
        EXPECT_EQ(GetWindowLongA(GetDlgItem(dialog, IDC_BROWSER), GWL_STYLE) & (WS_CHILD | WS_VISIBLE), WS_CHILD);
        EXPECT_FALSE(GetWindowLongA(dialog, GWL_STYLE) & WS_VISIBLE);
        DestroyWindow(dialog);
    }

    // Backgrounds: size, a clear corner, a half-transparent glass header, an opaque body.
    const struct {
        UINT id;
        int width, height;
        POINT glass, body;
    } backgrounds[] = {{IDR_PNG_BACKGROUND, 1105, 651, {500, 50}, {600, 300}},
                       {IDR_PNG_SIMPLE_BACKGROUND, 462, 136, {200, 20}, {200, 95}}};
    for (const auto& b : backgrounds) {
        CImage image;
        ASSERT_EQ(image.LoadFromResource(GetModuleHandleA(nullptr), b.id, "PNG"), S_OK) << b.id;
        ASSERT_TRUE(image.GetWidth() == b.width && image.GetHeight() == b.height && image.HasAlpha()) << b.id;
        const auto alpha = [&](POINT p) { return image.GetBits()[p.y * image.GetPitch() + p.x * 4 + 3]; };
        EXPECT_EQ(alpha({0, 0}), 0);
        EXPECT_GT(alpha(b.glass), 60);
        EXPECT_LT(alpha(b.glass), 220);
        EXPECT_EQ(alpha(b.body), 255);
    }
}

}  // namespace
