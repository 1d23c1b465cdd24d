// Message boxes built as host forms.
#include "ui/MessageBox.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <utility>
#include <vector>

#include "ui/ModalHook.h"
#include "ui/Widgets.h"

namespace ui {

using namespace host;

namespace {

constexpr int kMargin = 16;
constexpr int kWrapWidth = 400;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 8;

// The buttons of a MessageBox flags value, with their modal results (equal to the IDxx values).
std::vector<std::pair<const char*, TModalResult>> Buttons(int flags) {
    switch (flags & 0x0f) {
    case MB_OKCANCEL:
        return {{"OK", mrOk}, {"Cancel", mrCancel}};
    case MB_ABORTRETRYIGNORE:
        return {{"Abort", mrAbort}, {"Retry", mrRetry}, {"Ignore", mrIgnore}};
    case MB_YESNOCANCEL:
        return {{"Yes", mrYes}, {"No", mrNo}, {"Cancel", mrCancel}};
    case MB_YESNO:
        return {{"Yes", mrYes}, {"No", mrNo}};
    case MB_RETRYCANCEL:
        return {{"Retry", mrRetry}, {"Cancel", mrCancel}};
    default:
        return {{"OK", mrOk}};
    }
}

// The text broken into lines of at most kWrapWidth pixels at blanks (a longer word at any
// character), '&' doubled so that the label shows it literally; width and height receive its size.
std::string WrapForLabel(const std::string& text, int& width, int& height) {
    fl_font(detail::kTextFont, detail::kTextSize);
    auto fits = [](const std::string& s) { return fl_width(s.c_str()) <= kWrapWidth; };
    std::vector<std::string> lines;
    auto wrapParagraph = [&](const std::string& paragraph) {
        std::string line;
        size_t at = 0;
        while (at < paragraph.size()) {
            const size_t end = std::min(paragraph.find(' ', at), paragraph.size());
            std::string word = paragraph.substr(at, end - at);
            at = end + 1;
            if (word.empty()) continue;
            while (!fits(word)) {
                if (!line.empty()) lines.push_back(std::move(line));
                line.clear();
                size_t n = 1;
                while (n < word.size() && fits(word.substr(0, n + 1)))
                    ++n;
                lines.push_back(word.substr(0, n));
                word.erase(0, n);
            }
            const std::string candidate = line.empty() ? word : line + " " + word;
            if (!line.empty() && !fits(candidate)) {
                lines.push_back(std::move(line));
                line = word;
            } else {
                line = candidate;
            }
        }
        lines.push_back(std::move(line));
    };
    std::string paragraph; // line breaks are "\n", "\r\n" or "\r"
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            paragraph += text[i];
            continue;
        }
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        wrapParagraph(paragraph);
        paragraph.clear();
    }
    wrapParagraph(paragraph);
    std::string out;
    width = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        width = std::max(width, static_cast<int>(fl_width(lines[i].c_str())) + 1);
        if (i > 0) out += '\n';
        for (char c : lines[i]) {
            if (c == '&') out += '&';
            out += c;
        }
    }
    height = static_cast<int>(lines.size()) * fl_height();
    return out;
}

} // namespace

std::unique_ptr<TForm> MakeMessageForm(const std::string& text, const std::string& caption, int flags) {
    OpenDisplay();
    auto form = std::make_unique<TForm>(nullptr);
    form->SetCaption(caption);
    form->SetBorderStyle(bsDialog);
    form->SetPosition(poScreenCenter);
    int textW = 0, textH = 0;
    auto* label = new TLabel(form.get());
    label->SetName("Message");
    label->SetParent(form.get());
    label->SetCaption(WrapForLabel(text, textW, textH));
    const auto buttons = Buttons(flags);
    const int rowW = static_cast<int>(buttons.size()) * (kButtonWidth + kButtonGap) - kButtonGap;
    const int clientW = std::max({textW, rowW, 200}) + 2 * kMargin;
    const int buttonTop = kMargin + textH + kMargin;
    form->SetClientWidth(clientW);
    form->SetClientHeight(buttonTop + kButtonHeight + kMargin / 2 + 4);
    label->SetBounds(kMargin, kMargin, textW, textH);
    const bool hasCancel =
        std::any_of(buttons.begin(), buttons.end(), [](const auto& b) { return b.second == mrCancel; });
    int left = (clientW - rowW) / 2;
    for (size_t i = 0; i < buttons.size(); ++i) {
        auto* button = new TButton(form.get());
        button->SetName(buttons[i].first);
        button->SetCaption(buttons[i].first);
        button->SetParent(form.get());
        button->SetBounds(left, buttonTop, kButtonWidth, kButtonHeight);
        button->SetModalResult(buttons[i].second);
        button->SetDefault(i == 0);
        button->SetCancel(hasCancel ? buttons[i].second == mrCancel : i + 1 == buttons.size());
        left += kButtonWidth + kButtonGap;
    }
    form->SetActiveControl(static_cast<TWinControl*>(form->FindComponent(buttons.front().first)));
    return form;
}

TMessageBoxHook FormMessageBoxHook() {
    return [](const std::string& text, const std::string& caption, int flags) {
        std::unique_ptr<TForm> form = MakeMessageForm(text, caption, flags);
        TModalResult result = form->ShowModal();
        // Closed without a button: the answer of the Escape button.
        if (result == mrCancel && form->FindComponent("Cancel") == nullptr)
            for (int i = 0; i < form->ControlCount(); ++i)
                if (auto* b = dynamic_cast<TButton*>(form->Controls(i)); b != nullptr && b->Cancel())
                    result = b->ModalResult();
        return static_cast<int>(result);
    };
}

bool InstallMessageBoxHook() {
    if (!DisplayAvailable()) return false;
    SetMessageBoxHook(FormMessageBoxHook());
    return true;
}

} // namespace ui
