// The data-aware FLTK controls: drawing what their links hold, and the keys, mouse and buttons
// that become link actions.
#include "ui/DataControls.h"

#include <FL/Fl.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <exception>

#include "host/Dialogs.h"
#include "host/Exceptions.h"
#include "ui/Widgets.h"

// Xlib macros that FLTK's headers bring in and that collide with host names.
#undef DisplayWidth
#undef None

namespace ui {

using namespace host;

bool RunReported(const ErrorHandler& handler, const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const EAbort&) {
        return false; // a silent abort: the operation was stopped on purpose
    } catch (const std::exception& e) {
        if (handler)
            handler(e.what());
        else
            MessageBox(e.what(), "Error", MB_OK | MB_ICONERROR);
        return false;
    }
}

// ---- DBGrid

// The in-place cell editor: Enter writes, Escape closes unwritten, Up/Down write and move.
class DBGrid::Editor : public Fl_Input {
public:
    Editor(DBGrid& grid) : Fl_Input(0, 0, 10, 10), fGrid(grid) {
        box(FL_BORDER_BOX);
        textfont(detail::kTextFont);
        textsize(detail::kTextSize);
    }
    int handle(int event) override {
        if (event == FL_KEYBOARD) {
            switch (Fl::event_key()) {
            case FL_Enter:
            case FL_KP_Enter:
                if (fGrid.CommitCellEdit()) fGrid.take_focus();
                return 1;
            case FL_Escape:
                fGrid.CancelCellEdit();
                return 1;
            case FL_Up:
            case FL_Down: {
                const int step = Fl::event_key() == FL_Up ? -1 : 1;
                if (fGrid.CommitCellEdit()) {
                    fGrid.take_focus();
                    fGrid.Run([&] { fGrid.fLink.Scroll(step); });
                }
                return 1;
            }
            default:
                break;
            }
        }
        // Leaving the editor (a click elsewhere) writes what was typed, as Enter does.
        if (event == FL_UNFOCUS && visible() && !fLeaving) {
            fLeaving = true;
            fGrid.CommitCellEdit();
            fLeaving = false;
        }
        return Fl_Input::handle(event);
    }
    int row = -1;

private:
    DBGrid& fGrid;
    bool fLeaving = false;
};

DBGrid::DBGrid(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label) {
    box(FL_DOWN_BOX);
    color(FL_BACKGROUND2_COLOR);
    fScrollBar = new Fl_Scrollbar(x + w - kScrollBarWidth - Fl::box_dx(box()), y + Fl::box_dy(box()),
                                  kScrollBarWidth, h - Fl::box_dh(box()));
    fScrollBar->type(FL_VERTICAL);
    fScrollBar->callback(
        [](Fl_Widget* bar, void* grid) {
            auto* self = static_cast<DBGrid*>(grid);
            if (!self->fSyncingScrollBar) self->ScrollTo(static_cast<Fl_Scrollbar*>(bar)->value());
        },
        this);
    fEditor = new Editor(*this);
    fEditor->hide();
    end();
    resizable(nullptr);
    fLink.onChange = [this] { DataChanged(); };
    resize(x, y, w, h);
}

DBGrid::~DBGrid() {
    fLink.onChange = nullptr;
}

void DBGrid::Run(const std::function<void()>& action) {
    RunReported(onError, action);
}

void DBGrid::resize(int x, int y, int w, int h) {
    Fl_Widget::resize(x, y, w, h);
    fScrollBar->resize(x + w - kScrollBarWidth - Fl::box_dx(box()), y + Fl::box_dy(box()), kScrollBarWidth,
                       h - Fl::box_dh(box()));
    const int rows = std::max(1, (h - Fl::box_dh(box()) - kHeaderHeight) / kRowHeight);
    if (rows != fLink.VisibleRows()) Run([&] { fLink.SetVisibleRows(rows); });
    if (CellEditorOpen()) CancelCellEdit();
    redraw();
}

void DBGrid::DataChanged() {
    if (fLaidOut != fLink.LayoutSerial()) LayoutColumns();
    if (CellEditorOpen() && fEditor->row != fLink.CurrentRow()) CancelCellEdit();
    UpdateScrollBar();
    redraw();
}

void DBGrid::LayoutColumns() {
    fLaidOut = fLink.LayoutSerial();
    fWidths.clear();
    fl_font(detail::kTextFont, detail::kTextSize);
    const int charWidth = std::max(1, static_cast<int>(fl_width("0")));
    for (TField* field : fLink.Columns()) {
        const int byData = std::clamp(field->DisplayWidth(), 4, 30) * charWidth + 8;
        const int byLabel = static_cast<int>(fl_width(field->DisplayName().c_str())) + 12;
        fWidths.push_back(std::max({byData, byLabel, 56}));
    }
    fColumn = std::clamp(fColumn, 0, std::max(0, static_cast<int>(fWidths.size()) - 1));
    fFirstColumn = std::min(fFirstColumn, fColumn);
    if (onColumnSelected) onColumnSelected(fColumn);
}

void DBGrid::UpdateScrollBar() {
    fSyncingScrollBar = true;
    if (!fLink.Active() || fLink.Rows() == 0) {
        fScrollBar->value(0, 1, 0, 1);
        fScrollBar->deactivate();
    } else {
        fScrollBar->activate();
        TDataSet* dataSet = fLink.DataSet();
        const int total = dataSet->RecordCount();
        const int recNo = dataSet->State() == dsInsert ? -1 : dataSet->RecNo();
        if (total > 0 && recNo > 0)
            fScrollBar->value(recNo - 1, 1, 0, total);
        else // position unknown: top, middle or bottom
            fScrollBar->value(fLink.AtBof() ? 0 : (fLink.AtEof() ? 2 : 1), 1, 0, 3);
    }
    fSyncingScrollBar = false;
}

void DBGrid::ScrollTo(int position) {
    if (!fLink.Active()) return;
    TDataSet* dataSet = fLink.DataSet();
    const int total = dataSet->RecordCount();
    const int recNo = dataSet->RecNo();
    Run([&] {
        if (total <= 0 || recNo <= 0) { // only the three positions of UpdateScrollBar
            if (position <= 0)
                dataSet->First();
            else if (position >= 2)
                dataSet->Last();
            return;
        }
        if (position <= 0)
            dataSet->First();
        else if (position >= total - 1)
            dataSet->Last();
        else if (dataSet->IsSequenced())
            dataSet->SetRecNo(position + 1);
        else
            dataSet->MoveBy(position + 1 - recNo);
    });
}

int DBGrid::ColumnX(int column) const {
    int x = this->x() + Fl::box_dx(box()) + kIndicatorWidth;
    for (int c = fFirstColumn; c < column && c < static_cast<int>(fWidths.size()); ++c)
        x += fWidths[static_cast<size_t>(c)];
    return x;
}

int DBGrid::RowAt(int y) const {
    const int top = this->y() + Fl::box_dy(box()) + kHeaderHeight;
    if (y < top) return -1;
    const int row = (y - top) / kRowHeight;
    return row < fLink.Rows() ? row : -1;
}

int DBGrid::ColumnAt(int x) const {
    const int right = fScrollBar->x();
    for (int c = fFirstColumn; c < static_cast<int>(fWidths.size()); ++c) {
        const int left = ColumnX(c);
        if (left >= right) break;
        if (x >= left && x < left + fWidths[static_cast<size_t>(c)]) return c;
    }
    return -1;
}

bool DBGrid::CellPoint(int row, int column, int& x, int& y) const {
    if (row < 0 || row >= fLink.Rows() || column < fFirstColumn || column >= static_cast<int>(fWidths.size()))
        return false;
    const int left = ColumnX(column);
    if (left >= fScrollBar->x()) return false;
    x = left + std::min(fWidths[static_cast<size_t>(column)], fScrollBar->x() - left) / 2;
    y = this->y() + Fl::box_dy(box()) + kHeaderHeight + row * kRowHeight + kRowHeight / 2;
    return true;
}

void DBGrid::SelectColumn(int column) {
    if (fWidths.empty()) return;
    const int previous = fColumn;
    fColumn = std::clamp(column, 0, static_cast<int>(fWidths.size()) - 1);
    if (fColumn < fFirstColumn) fFirstColumn = fColumn;
    // Scroll right until the selected column fits (or is the leftmost one).
    while (fFirstColumn < fColumn &&
           ColumnX(fColumn) + fWidths[static_cast<size_t>(fColumn)] > fScrollBar->x())
        ++fFirstColumn;
    redraw();
    if (fColumn != previous && onColumnSelected) onColumnSelected(fColumn);
}

Fl_Input& DBGrid::CellEditor() {
    return *fEditor;
}

bool DBGrid::CellEditorOpen() const {
    return fEditor->visible() != 0;
}

bool DBGrid::BeginCellEdit(const std::string* initialText) {
    const int row = fLink.CurrentRow();
    if (row < 0 || !fLink.CanEdit(fColumn)) return false;
    SelectColumn(fColumn);
    int cx = 0, cy = 0;
    if (!CellPoint(row, fColumn, cx, cy)) return false;
    const int left = ColumnX(fColumn);
    const int width = std::min(fWidths[static_cast<size_t>(fColumn)], fScrollBar->x() - left);
    fEditor->resize(left, cy - kRowHeight / 2, width, kRowHeight);
    fEditor->row = row;
    fEditColumn = fColumn;
    const std::string text = initialText != nullptr ? *initialText : fLink.EditText(fColumn);
    fEditor->value(text.c_str());
    fEditor->show();
    fEditor->take_focus();
    fEditor->position(fEditor->size(), initialText != nullptr ? fEditor->size() : 0);
    redraw();
    return true;
}

bool DBGrid::CommitCellEdit() {
    if (!CellEditorOpen()) return true;
    const std::string text = fEditor->value();
    const int column = fEditColumn;
    // A cell that cannot be edited (any more) just closes the editor.
    if (!RunReported(onError, [&] { fLink.SetCellText(column, text); })) return false;
    CancelCellEdit();
    return true;
}

void DBGrid::CancelCellEdit() {
    if (!CellEditorOpen()) return;
    fEditor->hide();
    fEditColumn = -1;
    fEditor->row = -1;
    redraw();
}

int DBGrid::handle(int event) {
    switch (event) {
    case FL_FOCUS:
    case FL_UNFOCUS:
        redraw();
        return 1;
    case FL_PUSH: {
        if (Fl_Group::handle(event) != 0) return 1; // scroll bar or editor
        if (Fl::focus() != this) take_focus();
        const int row = RowAt(Fl::event_y());
        const int column = ColumnAt(Fl::event_x());
        if (CellEditorOpen() && !CommitCellEdit()) return 1;
        if (column >= 0) SelectColumn(column);
        if (row >= 0) {
            Run([&] { fLink.SelectRow(row); });
            if (Fl::event_clicks() > 0 && column >= 0) BeginCellEdit();
        }
        return 1;
    }
    case FL_MOUSEWHEEL:
        if (Fl::event_dy() != 0) Run([&] { fLink.Scroll(Fl::event_dy() * 3); });
        return 1;
    case FL_KEYBOARD:
        if (CellEditorOpen() && Fl::focus() == fEditor) return Fl_Group::handle(event);
        if (Fl::focus() != this) return Fl_Group::handle(event);
        return HandleKey() ? 1 : 0;
    default:
        return Fl_Group::handle(event);
    }
}

bool DBGrid::HandleKey() {
    const int key = Fl::event_key();
    const bool ctrl = (Fl::event_state() & FL_CTRL) != 0;
    switch (key) {
    case FL_Up:
        Run([&] { fLink.Scroll(-1); });
        return true;
    case FL_Down:
        Run([&] { fLink.Scroll(1); });
        return true;
    case FL_Page_Up:
        Run([&] { fLink.Scroll(-fLink.VisibleRows()); });
        return true;
    case FL_Page_Down:
        Run([&] { fLink.Scroll(fLink.VisibleRows()); });
        return true;
    case FL_Home:
        if (ctrl)
            Run([&] { fLink.DataSet()->First(); });
        else
            SelectColumn(0);
        return fLink.Active();
    case FL_End:
        if (ctrl)
            Run([&] { fLink.DataSet()->Last(); });
        else
            SelectColumn(static_cast<int>(fWidths.size()) - 1);
        return fLink.Active();
    case FL_Left:
        SelectColumn(fColumn - 1);
        return true;
    case FL_Right:
    case FL_Tab:
        if (key == FL_Tab && fColumn + 1 >= static_cast<int>(fWidths.size())) return false;
        SelectColumn(fColumn + 1);
        return true;
    case FL_Enter:
    case FL_KP_Enter:
    case FL_F + 2:
        BeginCellEdit();
        return true;
    case FL_Escape:
        if (fLink.Active() && dsEditModes.Contains(fLink.DataSet()->State())) {
            Run([&] { fLink.DataSet()->Cancel(); });
            return true;
        }
        return false;
    default:
        if (Fl::event_length() > 0 && !ctrl && static_cast<unsigned char>(Fl::event_text()[0]) >= ' ') {
            const std::string typed(Fl::event_text(), static_cast<size_t>(Fl::event_length()));
            return BeginCellEdit(&typed);
        }
        return false;
    }
}

void DBGrid::DrawIndicator(int row, int y) const {
    const int x = this->x() + Fl::box_dx(box());
    fl_color(FL_FOREGROUND_COLOR);
    const int cx = x + kIndicatorWidth / 2, cy = y + kRowHeight / 2;
    switch (fLink.Mark(row)) {
    case GridLink::RowMark::Current:
        fl_polygon(cx - 3, cy - 5, cx - 3, cy + 5, cx + 3, cy);
        break;
    case GridLink::RowMark::Editing:
        fl_font(detail::kTextFont, detail::kTextSize);
        fl_draw("\xe2\x9c\x8e", x, y, kIndicatorWidth, kRowHeight, FL_ALIGN_CENTER); // pencil
        break;
    case GridLink::RowMark::Inserting:
        fl_font(detail::kTextFont, detail::kTextSize + 2);
        fl_draw("*", x, y + 3, kIndicatorWidth, kRowHeight, FL_ALIGN_CENTER);
        break;
    case GridLink::RowMark::None:
        break;
    }
}

void DBGrid::draw() {
    if ((damage() & ~FL_DAMAGE_CHILD) != 0) {
        draw_box();
        const int left = x() + Fl::box_dx(box());
        const int top = y() + Fl::box_dy(box());
        const int right = fScrollBar->x();
        const int bottom = y() + h() - Fl::box_dy(box());
        fl_push_clip(left, top, right - left, bottom - top);
        fl_font(detail::kTextFont, detail::kTextSize);

        // Header.
        fl_draw_box(FL_THIN_UP_BOX, left, top, kIndicatorWidth, kHeaderHeight, FL_BACKGROUND_COLOR);
        const std::vector<TField*>& columns = fLink.Columns();
        for (int c = fFirstColumn; c < static_cast<int>(fWidths.size()); ++c) {
            const int cx = ColumnX(c);
            if (cx >= right) break;
            const int width = fWidths[static_cast<size_t>(c)];
            fl_draw_box(FL_THIN_UP_BOX, cx, top, width, kHeaderHeight, FL_BACKGROUND_COLOR);
            fl_color(FL_FOREGROUND_COLOR);
            fl_push_clip(cx + 4, top, width - 8, kHeaderHeight);
            fl_draw(columns[static_cast<size_t>(c)]->DisplayName().c_str(), cx + 4, top, width - 8,
                    kHeaderHeight, FL_ALIGN_LEFT);
            fl_pop_clip();
        }

        // Rows.
        const bool focused = Fl::focus() == this;
        for (int r = 0; r < fLink.Rows(); ++r) {
            const int ry = top + kHeaderHeight + r * kRowHeight;
            if (ry >= bottom) break;
            const bool current = r == fLink.CurrentRow();
            fl_draw_box(FL_THIN_UP_BOX, left, ry, kIndicatorWidth, kRowHeight, FL_BACKGROUND_COLOR);
            DrawIndicator(r, ry);
            for (int c = fFirstColumn; c < static_cast<int>(fWidths.size()); ++c) {
                const int cx = ColumnX(c);
                if (cx >= right) break;
                const int width = fWidths[static_cast<size_t>(c)];
                const bool selected = current && c == fColumn;
                fl_color(selected ? (focused ? FL_SELECTION_COLOR : fl_rgb_color(200, 210, 230))
                                  : (current ? fl_rgb_color(232, 238, 248) : FL_BACKGROUND2_COLOR));
                fl_rectf(cx, ry, width, kRowHeight);
                fl_color(fl_rgb_color(210, 210, 210));
                fl_xyline(cx, ry + kRowHeight - 1, cx + width - 1);
                fl_yxline(cx + width - 1, ry, ry + kRowHeight - 1);
                fl_color(selected && focused ? fl_contrast(FL_FOREGROUND_COLOR, FL_SELECTION_COLOR)
                                             : FL_FOREGROUND_COLOR);
                const TField* field = columns[static_cast<size_t>(c)];
                const Fl_Align align = field->Alignment() == taRightJustify ? FL_ALIGN_RIGHT
                                       : field->Alignment() == taCenter     ? FL_ALIGN_CENTER
                                                                            : FL_ALIGN_LEFT;
                fl_push_clip(cx + 3, ry, width - 6, kRowHeight);
                fl_draw(fLink.Cell(r, c).c_str(), cx + 3, ry, width - 6, kRowHeight,
                        static_cast<Fl_Align>(align | FL_ALIGN_CLIP));
                fl_pop_clip();
            }
        }
        fl_pop_clip();
    }
    draw_child(*fScrollBar);
    if (CellEditorOpen()) draw_child(*fEditor);
}

// ---- DBNavigator

namespace {

struct ButtonFace {
    const char* label;
    const char* tooltip;
};

constexpr std::array<ButtonFace, kNavigateButtons> kFaces{{
    {"@|<", "First record"},
    {"@<", "Prior record"},
    {"@>", "Next record"},
    {"@>|", "Last record"},
    {"+", "Insert record"},
    {"\xe2\x88\x92", "Delete record"}, // minus sign
    {"\xe2\x9c\x8e", "Edit record"},   // pencil
    {"\xe2\x9c\x94", "Post edit"},     // check mark
    {"\xe2\x9c\x98", "Cancel edit"},   // ballot x
    {"@reload", "Refresh data"},
}};

} // namespace

DBNavigator::DBNavigator(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label) {
    const int width = w / kNavigateButtons;
    for (int b = 0; b < kNavigateButtons; ++b) {
        const int bx = x + b * width;
        const int bw = b + 1 == kNavigateButtons ? x + w - bx : width;
        auto* button = new Fl_Button(bx, y, bw, h, kFaces[static_cast<size_t>(b)].label);
        button->tooltip(kFaces[static_cast<size_t>(b)].tooltip);
        button->labelfont(detail::kTextFont);
        button->labelsize(detail::kTextSize + 3);
        button->labelcolor(fl_rgb_color(40, 60, 110));
        button->callback(&DBNavigator::ButtonCallback, this);
        button->user_data(this);
        button->deactivate();
        fButtons[static_cast<size_t>(b)] = button;
    }
    end();
    fLink.onChange = [this] { UpdateButtons(); };
}

DBNavigator::~DBNavigator() {
    fLink.onChange = nullptr;
}

void DBNavigator::ButtonCallback(Fl_Widget* widget, void* navigator) {
    auto* self = static_cast<DBNavigator*>(navigator);
    for (int b = 0; b < kNavigateButtons; ++b)
        if (self->fButtons[static_cast<size_t>(b)] == widget) {
            RunReported(self->onError, [&] { self->fLink.Click(static_cast<NavigateButton>(b)); });
            return;
        }
}

void DBNavigator::UpdateButtons() {
    for (int b = 0; b < kNavigateButtons; ++b) {
        Fl_Button* button = fButtons[static_cast<size_t>(b)];
        if (fLink.Enabled(static_cast<NavigateButton>(b)))
            button->activate();
        else
            button->deactivate();
    }
}

// ---- DBEdit and DBMemo

namespace {

// Shows the link's text in the input when it differs.
void ShowLinkText(Fl_Input_& input, const FieldLink& link) {
    const char* shown = input.value();
    if (link.Text() != (shown != nullptr ? shown : ""))
        input.value(link.Text().c_str(), static_cast<int>(link.Text().size()));
}

// Whether the key event changes the text (typing, deleting, cutting, pasting).
bool ChangesText(int event) {
    if (event == FL_PASTE) return true;
    if (event != FL_KEYBOARD) return false;
    const int key = Fl::event_key();
    const bool ctrl = (Fl::event_state() & FL_CTRL) != 0;
    if (key == FL_BackSpace || key == FL_Delete) return true;
    if (ctrl) return key == 'v' || key == 'x' || key == 'z';
    return Fl::event_length() > 0 && static_cast<unsigned char>(Fl::event_text()[0]) >= ' ';
}

// The common event handling of DBEdit and DBMemo; base runs the input's own handling.
template <class Base>
int HandleDataInput(Fl_Input_& input, FieldLink& link, const ErrorHandler& onError, int event, bool multiLine,
                    Base&& base) {
    if (event == FL_KEYBOARD) {
        const int key = Fl::event_key();
        if (key == FL_Escape && link.Modified()) {
            link.Reset();
            return 1;
        }
        if (!multiLine && (key == FL_Enter || key == FL_KP_Enter)) {
            RunReported(onError, [&] { link.UpdateRecord(); });
            return 1;
        }
    }
    if (ChangesText(event)) {
        bool editing = false;
        if (!RunReported(onError, [&] { editing = link.BeginEdit(); })) return 1;
        if (!editing) {
            fl_beep();
            return 1;
        }
        const int handled = base(event);
        link.SetEditText(input.value());
        return handled;
    }
    if (event == FL_UNFOCUS && link.Modified()) RunReported(onError, [&] { link.UpdateRecord(); });
    return base(event);
}

} // namespace

DBEdit::DBEdit(int x, int y, int w, int h, const char* label) : Fl_Input(x, y, w, h, label) {
    textfont(detail::kTextFont);
    textsize(detail::kTextSize);
    labelfont(detail::kTextFont);
    labelsize(detail::kTextSize);
    fLink.onChange = [this] { ShowLinkText(*this, fLink); };
}

DBEdit::~DBEdit() {
    fLink.onChange = nullptr;
}

int DBEdit::handle(int event) {
    return HandleDataInput(*this, fLink, onError, event, false,
                           [this](int e) { return Fl_Input::handle(e); });
}

DBMemo::DBMemo(int x, int y, int w, int h, const char* label) : Fl_Multiline_Input(x, y, w, h, label) {
    textfont(detail::kTextFont);
    textsize(detail::kTextSize);
    labelfont(detail::kTextFont);
    labelsize(detail::kTextSize);
    wrap(1);
    fLink.onChange = [this] { ShowLinkText(*this, fLink); };
}

DBMemo::~DBMemo() {
    fLink.onChange = nullptr;
}

int DBMemo::handle(int event) {
    return HandleDataInput(*this, fLink, onError, event, true,
                           [this](int e) { return Fl_Multiline_Input::handle(e); });
}

} // namespace ui
