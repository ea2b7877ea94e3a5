#pragma once
// The selection dialog on a terminal: the title, heading and instruction,
// the "Client Applications" and "Agent Applications" groups with two columns
// of check boxes filled row by row, and the "&Next>" and "Cancel" buttons.
// It shows a SelectionModel and forwards the user's keys and clicks to it.
//
// Keys: Tab, the arrow keys and Shift-Tab move between the enabled controls;
// Space toggles the focused box or presses the focused button; Enter presses
// the focused button, or "&Next>" when a box has the focus; N (or Alt-N)
// presses "&Next>"; Escape or Ctrl-C cancels. A left click toggles a box or
// presses a button. The groups grow with the component lists, and the dialog
// scrolls when the terminal is shorter than the dialog.
#include <cstddef>
#include <string>
#include <vector>

#include "platform/setupkit/curses_screen.h"
#include "selection_model.h"

namespace orla {

class SetupDialogView {
 public:
  enum class Result { kNext, kCancel };

  // The screen must be open.
  SetupDialogView(SelectionModel& model, CursesScreen& screen);

  // Shows the dialog until the user presses "&Next>" or cancels.
  Result Run();

  // Dialog width on a wide terminal, in columns.
  static constexpr int kDialogWidth = 80;

 private:
  struct Control {
    enum class Kind { kBox, kNext, kCancel };
    Kind kind = Kind::kBox;
    SelectionModel::Group group = SelectionModel::Group::kClient;
    size_t index = 0;
    int row = 0;     // row in the dialog (before scrolling)
    int column = 0;  // screen column
    int width = 0;
  };

  void Layout();
  void Draw();
  void DrawFrame(int top, int bottom, int left, int right, const std::string& title);
  void DrawControl(size_t position);
  int ScreenRow(int dialog_row) const { return origin_row_ + dialog_row - scroll_; }
  bool Focusable(size_t position) const;
  void MoveFocus(int step);
  void ScrollToFocus();
  // Presses or toggles a control; true when that ends the dialog.
  bool Activate(size_t position, Result* result);

  static std::vector<std::string> Wrap(const std::string& text, int width);

  SelectionModel& model_;
  CursesScreen& screen_;
  std::vector<Control> controls_;
  size_t focus_ = 0;
  int origin_row_ = 0;
  int scroll_ = 0;
  int height_ = 0;  // rows the whole dialog needs
  // Geometry of the current layout.
  int left_ = 0;
  int width_ = 0;
  std::vector<std::string> instruction_;
  int client_top_ = 0;
  int client_bottom_ = 0;
  int agent_top_ = 0;
  int agent_bottom_ = 0;
  int button_row_ = 0;
  int cell_width_ = 0;
};

}  // namespace orla
