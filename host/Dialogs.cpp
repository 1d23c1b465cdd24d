// Message box and screen-cursor hooks.
#include "host/Dialogs.h"

#include <cstdio>
#include <mutex>

namespace host {

namespace {

struct Hooks {
    std::mutex lock;
    TMessageBoxHook messageBox;
    TScreenCursorHook screenCursor;
};

Hooks& GetHooks() {
    static Hooks hooks;
    return hooks;
}

int DefaultMessageBox(const std::string& text, const std::string& caption) {
    if (caption.empty())
        std::fprintf(stderr, "%s\n", text.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return IDOK;
}

} // namespace

int MessageBox(const std::string& text, const std::string& caption, int flags) {
    TMessageBoxHook hook;
    {
        std::lock_guard<std::mutex> guard(GetHooks().lock);
        hook = GetHooks().messageBox;
    }
    return hook ? hook(text, caption, flags) : DefaultMessageBox(text, caption);
}

void ShowMessage(const std::string& text) {
    MessageBox(text, std::string(), MB_OK);
}

TMessageBoxHook SetMessageBoxHook(TMessageBoxHook hook) {
    std::lock_guard<std::mutex> guard(GetHooks().lock);
    TMessageBoxHook previous = std::move(GetHooks().messageBox);
    GetHooks().messageBox = std::move(hook);
    return previous;
}

void TScreen::SetCursor(TCursor cursor) {
    fCursor = cursor;
    TScreenCursorHook hook;
    {
        std::lock_guard<std::mutex> guard(GetHooks().lock);
        hook = GetHooks().screenCursor;
    }
    if (hook) hook(cursor);
}

TScreen* Screen() {
    static TScreen screen;
    return &screen;
}

TScreenCursorHook SetScreenCursorHook(TScreenCursorHook hook) {
    std::lock_guard<std::mutex> guard(GetHooks().lock);
    TScreenCursorHook previous = std::move(GetHooks().screenCursor);
    GetHooks().screenCursor = std::move(hook);
    return previous;
}

} // namespace host
