// User-interface hooks: modal message boxes and the screen cursor. Without a GUI the defaults
// print the message to stderr and ignore the cursor; applications and tests install hooks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace host {

// Buttons (low nibble) and icons of MessageBox flags.
inline constexpr int MB_OK = 0x00;
inline constexpr int MB_OKCANCEL = 0x01;
inline constexpr int MB_ABORTRETRYIGNORE = 0x02;
inline constexpr int MB_YESNOCANCEL = 0x03;
inline constexpr int MB_YESNO = 0x04;
inline constexpr int MB_RETRYCANCEL = 0x05;
inline constexpr int MB_ICONERROR = 0x10;
inline constexpr int MB_ICONHAND = MB_ICONERROR;
inline constexpr int MB_ICONQUESTION = 0x20;
inline constexpr int MB_ICONWARNING = 0x30;
inline constexpr int MB_ICONEXCLAMATION = MB_ICONWARNING;
inline constexpr int MB_ICONINFORMATION = 0x40;
inline constexpr int MB_ICONASTERISK = MB_ICONINFORMATION;

// Button ids MessageBox returns.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

using TMessageBoxHook = std::function<int(const std::string& text, const std::string& caption, int flags)>;

// Shows a modal message box through the installed hook and returns the button pressed.
// Default: writes "caption: text" (or just text) to stderr and returns IDOK.
int MessageBox(const std::string& text, const std::string& caption, int flags);
// MessageBox(text, "", MB_OK).
void ShowMessage(const std::string& text);
// Installs hook (an empty function restores the default); returns the previous hook.
TMessageBoxHook SetMessageBoxHook(TMessageBoxHook hook);

// Screen cursors (classic ids).
using TCursor = int16_t;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crNone = -1;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crNoDrop = -13;
inline constexpr TCursor crSQLWait = -17;
inline constexpr TCursor crNo = -18;
inline constexpr TCursor crAppStart = -19;

using TScreenCursorHook = std::function<void(TCursor cursor)>;

// The application screen; only the cursor is modelled.
class TScreen {
public:
    TCursor Cursor() const { return fCursor; }
    // Remembers the cursor and passes it to the screen-cursor hook (default: nothing).
    void SetCursor(TCursor cursor);

private:
    TCursor fCursor = crDefault;
};

// The process-wide screen.
TScreen* Screen();
// Installs hook (empty: none); returns the previous hook.
TScreenCursorHook SetScreenCursorHook(TScreenCursorHook hook);

} // namespace host
