// The record that the launcher sends to the game lobby's window with WM_COPYDATA:
// kind 1 when the game ends, kind 2 with a login token.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

enum LobbyMessageKind : int32_t { kLobbyGameExit = 1, kLobbyLoginToken = 2 };

#pragma pack(push, 1)
struct LobbyCopyData {
    int32_t kind;
    wchar_t text[512];  // UTF-16, ended by a zero unit; every unit after it is zero
    int32_t length;     // bytes of the text in its 8-bit form
};
#pragma pack(pop)
static_assert(sizeof(LobbyCopyData) == 1032, "the lobby reads 1032 bytes");

// Fills record with kind and the 8-bit text converted with the thread's code page.
// False when the text needs more than 511 UTF-16 units (it would lose its end).
bool MakeLobbyCopyData(int32_t kind, const std::string& text, LobbyCopyData& record);

// The window handle that --winid names: leading blanks, a sign and decimal digits,
// up to the first other character.  False when the value holds no number.
bool ParseLobbyWindow(const std::string& value, HWND& window);

// How long the launcher waits for the lobby to take a message.
constexpr UINT kLobbyAnswerTimeoutMs = 5000;

// Sends record to lobby with WM_COPYDATA on behalf of from; waits at most
// kLobbyAnswerTimeoutMs.  False when lobby is no window or did not answer in time.
bool SendLobbyMessage(HWND lobby, HWND from, const LobbyCopyData& record);
