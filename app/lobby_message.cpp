#include "app/lobby_message.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

bool MakeLobbyCopyData(int32_t kind, const std::string& text, LobbyCopyData& record)
{
    std::memset(&record, 0, sizeof(record));
    record.kind = kind;
    record.length = static_cast<int32_t>(text.size());
    if (text.empty())
        return true;
    const int capacity = static_cast<int>(sizeof(record.text) / sizeof(record.text[0])) - 1;
    int units = MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (units <= 0 || units > capacity)
        return false;
    MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), record.text, capacity);
    return true;
}

bool ParseLobbyWindow(const std::string& value, HWND& window)
{
    const char* text = value.c_str();
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    const char* digits = (*text == '+' || *text == '-') ? text + 1 : text;
    if (!std::isdigit(static_cast<unsigned char>(*digits)))
        return false;
    // Handles are 32-bit values; a longer number wraps as the runtime's scan would.
    long long number = std::strtoll(text, nullptr, 10);
    window = reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(number)));
    return true;
}

bool SendLobbyMessage(HWND lobby, HWND from, const LobbyCopyData& record)
{
    if (!IsWindow(lobby))
        return false;
    COPYDATASTRUCT data{};
    data.dwData = static_cast<ULONG_PTR>(record.kind);
    data.cbData = sizeof(record);
    data.lpData = const_cast<LobbyCopyData*>(&record);
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(lobby, WM_COPYDATA, reinterpret_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&data),
                               SMTO_NORMAL | SMTO_ABORTIFHUNG, kLobbyAnswerTimeoutMs, &answer) != 0;
}
