// The Windows console: keys arrive as input events, a console handle can be waited on beside
// the window's event, and the status line's escape sequences need the console's terminal mode.
// Input from a pipe or a file cannot be waited on, so it is looked at between short waits.
#include <windows.h>

#include "terminal.h"

namespace kivo::play {

namespace {

constexpr DWORD kKeyLook = 50;  // ms between looks at input that cannot be waited on

HANDLE input() {
    return GetStdHandle(STD_INPUT_HANDLE);
}

}  // namespace

RawKeys::RawKeys(bool) {
    DWORD mode = 0;
    if (GetConsoleMode(input(), &mode)) {
        savedInputMode_ = mode;
        active_ = SetConsoleMode(input(), mode & ~(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT)) != 0;
    }
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (GetConsoleMode(output, &mode)) {
        savedOutputMode_ = mode;
        outputModeSet_ = SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
    }
}

RawKeys::~RawKeys() {
    if (active_) SetConsoleMode(input(), savedInputMode_);
    if (outputModeSet_) SetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), savedOutputMode_);
}

int RawKeys::read() {
    if (active_) {
        DWORD waiting = 0;
        while (GetNumberOfConsoleInputEvents(input(), &waiting) && waiting > 0) {
            INPUT_RECORD record;
            DWORD got = 0;
            if (!ReadConsoleInputW(input(), &record, 1, &got) || got == 0) return -1;
            const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
            if (record.EventType == KEY_EVENT && key.bKeyDown) {
                switch (key.wVirtualKeyCode) {
                    case VK_LEFT:
                        return kKeyLeft;
                    case VK_RIGHT:
                        return kKeyRight;
                    case VK_UP:
                        return kKeyUp;
                    case VK_DOWN:
                        return kKeyDown;
                    default:
                        break;
                }
            }
            if (record.EventType == KEY_EVENT && key.bKeyDown && key.uChar.UnicodeChar != 0 &&
                key.uChar.UnicodeChar < 128) {
                return key.uChar.UnicodeChar;
            }
        }
        return -1;
    }
    if (GetFileType(input()) == FILE_TYPE_PIPE) {
        DWORD available = 0;
        if (!PeekNamedPipe(input(), nullptr, 0, nullptr, &available, nullptr)) return 0;
        if (available == 0) return -1;
    }
    unsigned char c;
    DWORD got = 0;
    if (!ReadFile(input(), &c, 1, &got, nullptr)) return 0;
    return got == 1 ? c : 0;
}

Wakeup RawKeys::wait(const MessageWindow& window, bool watchKeys, int timeoutMs) {
    HANDLE handles[2] = {window.waitEvent(), input()};
    const DWORD count = watchKeys && active_ ? 2 : 1;
    DWORD timeout = static_cast<DWORD>(timeoutMs);
    if (watchKeys && !active_ && timeout > kKeyLook) timeout = kKeyLook;
    const DWORD ready = WaitForMultipleObjects(count, handles, FALSE, timeout);
    Wakeup wakeup;
    wakeup.failed = ready == WAIT_FAILED;
    wakeup.message = ready == WAIT_OBJECT_0;
    wakeup.key = watchKeys && (active_ ? ready == WAIT_OBJECT_0 + 1 : !wakeup.failed);
    return wakeup;
}

}  // namespace kivo::play
