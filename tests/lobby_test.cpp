// Quit and the lobby's WM_COPYDATA messages, received by a real window of the test.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/lobby_message.h"
#include "app/log.h"
#include "app/vorlan_app.h"
#include "tests/support/test_support.h"

namespace {
struct Received {
    WPARAM from;
    ULONG_PTR dwData;
    DWORD cbData;
    std::string bytes;
};
std::vector<Received> g_received;

LRESULT CALLBACK LobbyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        auto* data = reinterpret_cast<COPYDATASTRUCT*>(lParam);
        g_received.push_back({wParam, data->dwData, data->cbData,
                              std::string(static_cast<const char*>(data->lpData), data->cbData)});
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A lobby window in this process and an application object started with a command line.
class LobbyRun {
public:
    explicit LobbyRun(const std::string& tailWithoutWinid, bool withWinid = true)
    {
        WNDCLASSA type{};
        type.lpfnWndProc = LobbyProc;
        type.hInstance = GetModuleHandleA(nullptr);
        type.lpszClassName = "VorlanTestLobby";
        RegisterClassA(&type);
        lobby = CreateWindowA("VorlanTestLobby", "lobby", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              type.hInstance, nullptr);
        LogInit((dir / "log.log").c_str());
        std::string tail = tailWithoutWinid;
        if (withWinid)
            tail += " --winid=" + std::to_string(reinterpret_cast<intptr_t>(lobby));
        app.ParseCommandLine(tail.c_str());
        g_received.clear();
    }
    ~LobbyRun() { DestroyWindow(lobby); }
    std::vector<std::string> Messages() const { return vt::LogMessages(dir / "log.log"); }
    int LobbyId() const { return static_cast<int>(reinterpret_cast<intptr_t>(lobby)); }

    vt::TempDir dir{"lobby"};
    CVorlanClientApp app;
    HWND lobby = nullptr;
};

bool QuitWasPosted()
{
    MSG msg;
    return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

const LobbyCopyData& Record(const Received& received)
{
    return *reinterpret_cast<const LobbyCopyData*>(received.bytes.data());
}
}  // namespace

TEST(LobbyTest, QuitTellsOnlyA2144LobbyAndOnlyOnce)
{
    struct Case {
        const char* tail;
        bool withWinid;
        bool told;
    };
    const Case cases[] = {{"2144", true, true},          {"2144qq extra", true, true},
                          {"360", true, false},          {"x2144", true, false},
                          {"2144", false, false}};
    for (const Case& c : cases) {
        LobbyRun run(c.tail, c.withWinid);
        run.app.Quit();
        EXPECT_TRUE(QuitWasPosted()) << c.tail;
        auto messages = run.Messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_TRUE(vt::Contains(messages, "退出进程"));
        const std::string exitLine = "通知2144游戏大厅游戏退出：" + std::to_string(run.LobbyId());
        EXPECT_EQ(vt::Contains(messages, exitLine), c.told) << c.tail;
        ASSERT_EQ(g_received.size(), c.told ? 1u : 0u) << c.tail;
        if (!c.told)
            continue;
        const Received& got = g_received[0];
        EXPECT_EQ(got.dwData, 1u);
        EXPECT_EQ(got.cbData, 1032u);
        EXPECT_EQ(got.from, 0u);  // no main window in this test
        EXPECT_EQ(Record(got).kind, 1);
        EXPECT_EQ(Record(got).length, 1);
        EXPECT_EQ(std::wstring(Record(got).text), L"1");

        // A second quit in the same run ends the loop again but tells the lobby nothing more.
        run.app.Quit();
        EXPECT_TRUE(QuitWasPosted());
        EXPECT_EQ(g_received.size(), 1u);
    }
}

TEST(LobbyTest, LoginTokensReachTheLobbyAsUtf16)
{
    struct Case {
        std::string token;
        std::wstring text;  // expected; empty with sent=false means refused
        bool sent;
    };
    const Case cases[] = {
        {"abc123", L"abc123", true},
        {"中文a", L"\u4e2d\u6587a", true},  // four bytes of code page 936, three units
        {"", L"", true},
        {std::string(511, 'k'), std::wstring(511, L'k'), true},
        {std::string(512, 'k'), L"", false},  // no room for the terminating zero
    };
    for (const Case& c : cases) {
        LobbyRun run("2144");
        run.app.SyncLogin2144(c.token.c_str());
        ASSERT_EQ(g_received.size(), c.sent ? 1u : 0u) << c.token.size();
        if (!c.sent) {
            EXPECT_TRUE(vt::Contains(run.Messages(), "2144 syncLogin, token too long, not sent: 512 bytes"));
            continue;
        }
        const LobbyCopyData& record = Record(g_received[0]);
        EXPECT_EQ(g_received[0].dwData, 2u);
        EXPECT_EQ(record.kind, 2);
        EXPECT_EQ(record.length, static_cast<int32_t>(c.token.size()));
        EXPECT_EQ(std::wstring(record.text), c.text);
        for (size_t unit = c.text.size(); unit < 512; ++unit)
            ASSERT_EQ(record.text[unit], 0) << unit;
        // The log line follows the send.
        EXPECT_TRUE(vt::Contains(run.Messages(), "2144 syncLogin, token: " + c.token +
                                                     ", winid: " + std::to_string(run.LobbyId())));
    }
}

TEST(LobbyTest, NoLobbyWindowMeansNoMessage)
{
    LobbyRun withoutWinid("2144", false);
    withoutWinid.app.SyncLogin2144("tok");
    EXPECT_TRUE(g_received.empty());
    EXPECT_TRUE(vt::Contains(withoutWinid.Messages(), "2144 syncLogin, token: tok, no winid"));

    // A --winid that is not a number names no window at all.
    LobbyRun notANumber("2144 --winid=lobby", false);
    notANumber.app.SyncLogin2144("tok");
    notANumber.app.Quit();
    EXPECT_TRUE(QuitWasPosted());
    EXPECT_TRUE(g_received.empty());
    EXPECT_TRUE(vt::Contains(notANumber.Messages(), "--winid不是窗口句柄，不通知大厅：lobby"));

    HWND window = nullptr;
    EXPECT_TRUE(ParseLobbyWindow("  +42junk", window));
    EXPECT_EQ(reinterpret_cast<intptr_t>(window), 42);
    EXPECT_FALSE(ParseLobbyWindow("", window));
    EXPECT_FALSE(ParseLobbyWindow("-", window));
}
