// The display check and the window ShowModal hook.
#include "ui/ModalHook.h"

#include <FL/Fl.H>
#include <FL/x.H>

#include <cstdlib>
#include <stdexcept>

#include "ui/FormView.h"
#include "ui/Widgets.h"

namespace ui {

bool DisplayAvailable() {
    if (fl_display != nullptr) return true;
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return false;
    // FLTK ends the process when it cannot open the display, so it is opened here and handed
    // over. It stays open: closing a probe connection could make a server that has no other
    // client reset itself (Xvfb does) and refuse the next one for a moment.
    ::Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    fl_open_display(display);
    Fl::set_font(detail::kTextFont, detail::kTextFontName);
    Fl::scheme("gtk+");
    Fl::visible_focus(1);
    return true;
}

void OpenDisplay() {
    if (!DisplayAvailable())
        throw std::runtime_error("no X display: $DISPLAY is not set or cannot be opened");
}

host::TShowModalHook WindowModalHook(std::function<void(FormView& view)> script) {
    return [script = std::move(script)](host::TForm& form) {
        FormView view(form);
        view.Show();
        if (script) script(view);
        if (form.ModalResult() == host::mrNone) view.RunModal();
    };
}

bool InstallShowModalHook() {
    if (!DisplayAvailable()) return false;
    host::SetShowModalHook(WindowModalHook());
    return true;
}

} // namespace ui
