#include "setup_dialog_view.h"

#include <algorithm>

#include "platform/text/ascii_case.h"

namespace orla {

namespace {

using Group = SelectionModel::Group;
using Key = CursesScreen::Key;

// A caption with an "&" before its mnemonic character: the text shown, the
// position of the underlined character, and the key that presses it.
struct Caption {
  std::string text;
  size_t mnemonic = std::string::npos;
  int key = 0;
};

Caption ParseCaption(const std::string& raw) {
  Caption caption;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '&' && i + 1 < raw.size()) {
      ++i;
      if (raw[i] != '&' && caption.mnemonic == std::string::npos) {
        caption.mnemonic = caption.text.size();
        caption.key = raw[i];
      }
    }
    caption.text.push_back(raw[i]);
  }
  return caption;
}

// A key code folded like a letter of text; codes beyond a byte stay as they are.
int Lower(int c) { return c >= 0 && c < 256 ? AsciiCase::Lower(static_cast<char>(c)) : c; }

Caption NextCaption() { return ParseCaption(SelectionModel::kNext); }

std::string ButtonText(const std::string& caption) { return "[ " + caption + " ]"; }

}  // namespace

SetupDialogView::SetupDialogView(SelectionModel& model, CursesScreen& screen) : model_(model), screen_(screen) {}

std::vector<std::string> SetupDialogView::Wrap(const std::string& text, int width) {
  std::vector<std::string> lines;
  std::string line;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t space = text.find(' ', pos);
    const std::string word = text.substr(pos, space == std::string::npos ? std::string::npos : space - pos);
    pos = space == std::string::npos ? text.size() : space + 1;
    if (word.empty()) continue;
    const std::string candidate = line.empty() ? word : line + " " + word;
    if (!line.empty() && CursesScreen::TextColumns(candidate) > width) {
      lines.push_back(line);
      line = word;
    } else {
      line = candidate;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

void SetupDialogView::Layout() {
  const int columns = screen_.Columns();
  width_ = std::min(columns, kDialogWidth);
  left_ = (columns - width_) / 2;
  const int inner_left = left_ + 2;
  const int inner_width = std::max(1, width_ - 4);
  instruction_ = Wrap(SelectionModel::kInstruction, inner_width);

  const size_t clients = model_.Count(Group::kClient);
  const size_t agents = model_.Count(Group::kAgent);
  const int client_rows = std::max(1, static_cast<int>((clients + 1) / 2));
  const int agent_rows = std::max(1, static_cast<int>((agents + 1) / 2));

  // Row 0 is the frame with the title, row 1 the heading, row 2 blank.
  client_top_ = 3 + static_cast<int>(instruction_.size());
  client_bottom_ = client_top_ + 1 + client_rows;
  agent_top_ = client_bottom_ + 1;
  agent_bottom_ = agent_top_ + 1 + agent_rows;
  button_row_ = agent_bottom_ + 1;
  height_ = button_row_ + 2;

  const int cells_left = inner_left + 2;
  cell_width_ = std::max(1, (inner_width - 4) / 2);

  controls_.clear();
  // Boxes fill two columns row by row: left, right, next row.
  auto add_boxes = [&](Group group, size_t count, int top) {
    for (size_t i = 0; i < count; ++i) {
      Control control;
      control.kind = Control::Kind::kBox;
      control.group = group;
      control.index = i;
      control.row = top + 1 + static_cast<int>(i / 2);
      control.column = cells_left + static_cast<int>(i % 2) * cell_width_;
      control.width = std::max(1, cell_width_ - 1);
      controls_.push_back(control);
    }
  };
  add_boxes(Group::kClient, clients, client_top_);
  add_boxes(Group::kAgent, agents, agent_top_);

  const std::string next = ButtonText(NextCaption().text);
  const std::string cancel = ButtonText(SelectionModel::kCancel);
  Control cancel_button;
  cancel_button.kind = Control::Kind::kCancel;
  cancel_button.row = button_row_;
  cancel_button.width = CursesScreen::TextColumns(cancel);
  cancel_button.column = std::max(0, inner_left + inner_width - cancel_button.width);
  Control next_button;
  next_button.kind = Control::Kind::kNext;
  next_button.row = button_row_;
  next_button.width = CursesScreen::TextColumns(next);
  next_button.column = std::max(0, cancel_button.column - 2 - next_button.width);
  controls_.push_back(next_button);
  controls_.push_back(cancel_button);

  const int rows = screen_.Rows();
  origin_row_ = height_ <= rows ? (rows - height_) / 2 : 0;
  scroll_ = std::clamp(scroll_, 0, std::max(0, height_ - rows));
  if (focus_ >= controls_.size()) focus_ = 0;
}

bool SetupDialogView::Focusable(size_t position) const {
  const Control& control = controls_[position];
  if (control.kind != Control::Kind::kBox) return true;
  return model_.BoxAt(control.group, control.index).enabled;
}

void SetupDialogView::MoveFocus(int step) {
  const size_t count = controls_.size();
  size_t position = focus_;
  for (size_t tries = 0; tries < count; ++tries) {
    position = static_cast<size_t>(static_cast<long>(position) + static_cast<long>(count) + step) % count;
    if (Focusable(position)) {
      focus_ = position;
      return;
    }
  }
}

void SetupDialogView::ScrollToFocus() {
  const int rows = screen_.Rows();
  if (height_ <= rows || rows <= 0) {
    scroll_ = 0;
    return;
  }
  const int row = controls_[focus_].row;
  // Keep one row of context (a group's frame) above and below the focus.
  if (row - 1 < scroll_) scroll_ = row - 1;
  if (row + 1 >= scroll_ + rows) scroll_ = row + 2 - rows;
  if (controls_[focus_].kind != Control::Kind::kBox) scroll_ = height_ - rows;
  scroll_ = std::clamp(scroll_, 0, height_ - rows);
}

void SetupDialogView::DrawFrame(int top, int bottom, int left, int right, const std::string& title) {
  using Glyph = CursesScreen::Glyph;
  const int inner = right - left - 1;
  screen_.PutGlyph(ScreenRow(top), left, Glyph::kUpperLeft);
  screen_.PutGlyphs(ScreenRow(top), left + 1, Glyph::kHorizontal, inner);
  screen_.PutGlyph(ScreenRow(top), right, Glyph::kUpperRight);
  for (int row = top + 1; row < bottom; ++row) {
    screen_.PutGlyph(ScreenRow(row), left, Glyph::kVertical);
    screen_.PutGlyph(ScreenRow(row), right, Glyph::kVertical);
  }
  screen_.PutGlyph(ScreenRow(bottom), left, Glyph::kLowerLeft);
  screen_.PutGlyphs(ScreenRow(bottom), left + 1, Glyph::kHorizontal, inner);
  screen_.PutGlyph(ScreenRow(bottom), right, Glyph::kLowerRight);
  if (!title.empty() && inner > 4) screen_.PutText(ScreenRow(top), left + 2, " " + title + " ", inner - 2);
}

void SetupDialogView::DrawControl(size_t position) {
  const Control& control = controls_[position];
  const bool focused = position == focus_;
  const int row = ScreenRow(control.row);
  switch (control.kind) {
    case Control::Kind::kBox: {
      const SelectionModel::Box& box = model_.BoxAt(control.group, control.index);
      const Component& component = model_.ComponentAt(control.group, control.index);
      // A disabled box (forced in by a prerequisite) is drawn dim.
      const unsigned attributes = box.enabled ? CursesScreen::kPlain : CursesScreen::kDim;
      const int used = screen_.PutText(row, control.column, box.checked ? "[X] " : "[ ] ", control.width, attributes);
      screen_.PutText(row, control.column + used, component.name, control.width - used,
                      attributes | (focused ? CursesScreen::kReverse : CursesScreen::kPlain));
      if (focused) screen_.PlaceCursor(row, control.column + 1);
      break;
    }
    case Control::Kind::kNext:
    case Control::Kind::kCancel: {
      const bool next = control.kind == Control::Kind::kNext;
      const Caption caption = ParseCaption(next ? SelectionModel::kNext : SelectionModel::kCancel);
      unsigned attributes = focused ? CursesScreen::kReverse : CursesScreen::kPlain;
      if (next) attributes |= CursesScreen::kBold;  // the default button
      int column = control.column;
      column += screen_.PutText(row, column, "[ ", 2, attributes);
      for (size_t i = 0; i < caption.text.size(); ++i) {
        const unsigned extra = i == caption.mnemonic ? CursesScreen::kUnderline : CursesScreen::kPlain;
        column += screen_.PutText(row, column, caption.text.substr(i, 1), 1, attributes | extra);
      }
      screen_.PutText(row, column, " ]", 2, attributes);
      if (focused) screen_.PlaceCursor(row, control.column + 2);
      break;
    }
  }
}

void SetupDialogView::Draw() {
  screen_.Erase();
  screen_.PlaceCursor(-1, 0);
  const int right = left_ + width_ - 1;
  const int inner_left = left_ + 2;
  const int inner_width = std::max(1, width_ - 4);

  DrawFrame(0, height_ - 1, left_, right, SelectionModel::kTitle);
  const std::string heading = SelectionModel::kHeading;
  const int heading_columns = CursesScreen::TextColumns(heading);
  screen_.PutText(ScreenRow(1), inner_left + std::max(0, (inner_width - heading_columns) / 2), heading, inner_width,
                  CursesScreen::kBold);
  for (size_t i = 0; i < instruction_.size(); ++i) {
    screen_.PutText(ScreenRow(3 + static_cast<int>(i)), inner_left, instruction_[i], inner_width);
  }
  DrawFrame(client_top_, client_bottom_, inner_left, inner_left + inner_width - 1, SelectionModel::kClientGroup);
  DrawFrame(agent_top_, agent_bottom_, inner_left, inner_left + inner_width - 1, SelectionModel::kAgentGroup);
  for (size_t i = 0; i < controls_.size(); ++i) DrawControl(i);

  // Tell the user when part of the dialog lies beyond the screen.
  const int rows = screen_.Rows();
  if (scroll_ > 0) screen_.PutText(0, std::max(0, right - 9), " more ^ ", 8, CursesScreen::kBold);
  if (scroll_ + rows < height_) screen_.PutText(rows - 1, std::max(0, right - 9), " more v ", 8, CursesScreen::kBold);
  screen_.Show();
}

bool SetupDialogView::Activate(size_t position, Result* result) {
  const Control& control = controls_[position];
  switch (control.kind) {
    case Control::Kind::kBox:
      model_.Toggle(control.group, control.index);
      return false;
    case Control::Kind::kNext:
      *result = Result::kNext;
      return true;
    case Control::Kind::kCancel:
      *result = Result::kCancel;
      return true;
  }
  return false;
}

SetupDialogView::Result SetupDialogView::Run() {
  Layout();
  const size_t next_position = controls_.size() - 2;
  // The focus starts on the first enabled box, or on "&Next>".
  focus_ = next_position;
  for (size_t i = 0; i < next_position; ++i) {
    if (Focusable(i)) {
      focus_ = i;
      break;
    }
  }

  Result result = Result::kCancel;
  for (;;) {
    ScrollToFocus();
    Draw();
    const CursesScreen::Input input = screen_.ReadInput();
    switch (input.key) {
      case Key::kTab:
      case Key::kDown:
      case Key::kRight:
        MoveFocus(1);
        break;
      case Key::kBackTab:
      case Key::kUp:
      case Key::kLeft:
        MoveFocus(-1);
        break;
      case Key::kEnter:
        // Enter presses the focused button; on a box it presses the default.
        if (Activate(controls_[focus_].kind == Control::Kind::kBox ? next_position : focus_, &result)) return result;
        break;
      case Key::kCharacter:
        if (input.character == ' ') {
          if (Activate(focus_, &result)) return result;
        } else if (Lower(input.character) == Lower(NextCaption().key)) {
          return Result::kNext;
        }
        break;
      case Key::kAltCharacter:
        if (Lower(input.character) == Lower(NextCaption().key)) return Result::kNext;
        break;
      case Key::kEscape:
      case Key::kInterrupt:
      case Key::kEndOfInput:
        return Result::kCancel;
      case Key::kResize:
        Layout();
        break;
      case Key::kClick:
        for (size_t i = 0; i < controls_.size(); ++i) {
          const Control& control = controls_[i];
          if (ScreenRow(control.row) != input.row || input.column < control.column ||
              input.column >= control.column + control.width || !Focusable(i)) {
            continue;
          }
          focus_ = i;
          if (Activate(i, &result)) return result;
          break;
        }
        break;
      case Key::kNone:
        break;
    }
  }
}

}  // namespace orla
