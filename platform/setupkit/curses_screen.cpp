#include "platform/setupkit/curses_screen.h"

#include <curses.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace orla {

namespace {

attr_t ToCurses(unsigned attributes) {
  attr_t a = A_NORMAL;
  if (attributes & CursesScreen::kBold) a |= A_BOLD;
  if (attributes & CursesScreen::kDim) a |= A_DIM;
  if (attributes & CursesScreen::kReverse) a |= A_REVERSE;
  if (attributes & CursesScreen::kUnderline) a |= A_UNDERLINE;
  return a;
}

chtype GlyphChar(CursesScreen::Glyph glyph) {
  switch (glyph) {
    case CursesScreen::Glyph::kUpperLeft: return ACS_ULCORNER;
    case CursesScreen::Glyph::kUpperRight: return ACS_URCORNER;
    case CursesScreen::Glyph::kLowerLeft: return ACS_LLCORNER;
    case CursesScreen::Glyph::kLowerRight: return ACS_LRCORNER;
    case CursesScreen::Glyph::kHorizontal: return ACS_HLINE;
    case CursesScreen::Glyph::kVertical: return ACS_VLINE;
  }
  return '?';
}

// Decodes `text` into the characters PutText draws, stopping before
// `max_columns` would be exceeded. Returns the columns used.
int Fit(const std::string& text, int max_columns, std::wstring* out) {
  std::mbstate_t state{};
  size_t pos = 0;
  int used = 0;
  while (pos < text.size()) {
    wchar_t wc = L'?';
    size_t len = std::mbrtowc(&wc, text.data() + pos, text.size() - pos, &state);
    if (len == static_cast<size_t>(-1) || len == static_cast<size_t>(-2) || len == 0) {
      // Not a character in this locale: show one "?" for the byte.
      state = std::mbstate_t{};
      wc = L'?';
      len = 1;
    }
    if (wc == L'\t') wc = L' ';
    int width = wcwidth(wc);
    if (width < 0) {
      wc = L'?';
      width = 1;
    }
    if (used + width > max_columns) break;
    if (out != nullptr) out->push_back(wc);
    used += width;
    pos += len;
  }
  return used;
}

}  // namespace

CursesScreen::~CursesScreen() { Close(); }

bool CursesScreen::Open() {
  if (screen_ != nullptr) return true;
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) return false;
  // Captions are shown in the terminal's own character set.
  std::setlocale(LC_ALL, "");
  screen_ = newterm(nullptr, stdout, stdin);
  if (screen_ == nullptr) return false;
  set_term(screen_);
  raw();  // Ctrl-C arrives as a key, so the terminal is always given back
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  set_escdelay(25);
  mousemask(BUTTON1_PRESSED, nullptr);
  mouseinterval(0);
  curs_set(1);
  return true;
}

void CursesScreen::Close() {
  if (screen_ == nullptr) return;
  endwin();
  delscreen(screen_);
  screen_ = nullptr;
  std::fflush(stdout);
}

int CursesScreen::Rows() const { return screen_ != nullptr ? LINES : 0; }

int CursesScreen::Columns() const { return screen_ != nullptr ? COLS : 0; }

void CursesScreen::Erase() {
  if (screen_ != nullptr) erase();
}

void CursesScreen::PutGlyph(int row, int column, Glyph glyph, unsigned attributes) {
  PutGlyphs(row, column, glyph, 1, attributes);
}

void CursesScreen::PutGlyphs(int row, int column, Glyph glyph, int count, unsigned attributes) {
  if (screen_ == nullptr || row < 0 || row >= LINES) return;
  const chtype ch = GlyphChar(glyph) | ToCurses(attributes);
  for (int i = 0; i < count; ++i) {
    const int c = column + i;
    if (c < 0 || c >= COLS) continue;
    mvaddch(row, c, ch);
  }
}

int CursesScreen::PutText(int row, int column, const std::string& text, int max_columns,
                          unsigned attributes) {
  if (screen_ == nullptr || row < 0 || row >= LINES || column < 0 || column >= COLS) return 0;
  if (max_columns > COLS - column) max_columns = COLS - column;
  if (max_columns <= 0) return 0;
  std::wstring shown;
  const int used = Fit(text, max_columns, &shown);
  if (shown.empty()) return 0;
  attr_set(ToCurses(attributes), 0, nullptr);
  mvaddnwstr(row, column, shown.c_str(), static_cast<int>(shown.size()));
  attr_set(A_NORMAL, 0, nullptr);
  return used;
}

int CursesScreen::TextColumns(const std::string& text) { return Fit(text, 1 << 30, nullptr); }

void CursesScreen::PlaceCursor(int row, int column) {
  cursor_row_ = row;
  cursor_column_ = column;
}

void CursesScreen::Show() {
  if (screen_ == nullptr) return;
  if (cursor_row_ >= 0 && cursor_row_ < LINES && cursor_column_ >= 0 && cursor_column_ < COLS) {
    curs_set(1);
    move(cursor_row_, cursor_column_);
  } else {
    curs_set(0);
  }
  refresh();
}

CursesScreen::Input CursesScreen::ReadInput() {
  Input input;
  if (screen_ == nullptr) {
    input.key = Key::kEndOfInput;
    return input;
  }
  wint_t ch = 0;
  const int rc = get_wch(&ch);
  if (rc == ERR) {
    input.key = Key::kEndOfInput;
    return input;
  }
  if (rc == KEY_CODE_YES) {
    switch (ch) {
      case KEY_UP: input.key = Key::kUp; break;
      case KEY_DOWN: input.key = Key::kDown; break;
      case KEY_LEFT: input.key = Key::kLeft; break;
      case KEY_RIGHT: input.key = Key::kRight; break;
      case KEY_BTAB: input.key = Key::kBackTab; break;
      case KEY_ENTER: input.key = Key::kEnter; break;
      case KEY_RESIZE: input.key = Key::kResize; break;
      case KEY_MOUSE: {
        MEVENT event;
        if (getmouse(&event) == OK && (event.bstate & BUTTON1_PRESSED)) {
          input.key = Key::kClick;
          input.row = event.y;
          input.column = event.x;
        }
        break;
      }
      default: break;
    }
    return input;
  }
  switch (ch) {
    case L'\t': input.key = Key::kTab; return input;
    case L'\r':
    case L'\n': input.key = Key::kEnter; return input;
    case 3: input.key = Key::kInterrupt; return input;
    case 27: {
      // Escape alone, or the start of an Alt combination.
      timeout(50);
      wint_t next = 0;
      const int next_rc = get_wch(&next);
      timeout(-1);
      if (next_rc == OK && next >= 0x20 && next != 0x7f) {
        input.key = Key::kAltCharacter;
        input.character = static_cast<int>(next);
      } else {
        // Escape alone; a key that followed it is read next time.
        if (next_rc == OK) unget_wch(static_cast<wchar_t>(next));
        if (next_rc == KEY_CODE_YES) ungetch(static_cast<int>(next));
        input.key = Key::kEscape;
      }
      return input;
    }
    default: break;
  }
  if (ch >= 0x20 && ch != 0x7f) {
    input.key = Key::kCharacter;
    input.character = static_cast<int>(ch);
  }
  return input;
}

}  // namespace orla
