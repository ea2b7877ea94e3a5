#pragma once
// The terminal dialog primitives: a full-screen ncurses session with clipped
// text and frame drawing, a cursor, and decoded key and mouse input. Callers
// never see ncurses itself.
#include <string>

struct screen;  // ncurses' screen record

namespace orla {

class CursesScreen {
 public:
  // Text attributes, combined with |.
  enum Attribute : unsigned {
    kPlain = 0,
    kBold = 1u << 0,
    kDim = 1u << 1,  // how a disabled control looks
    kReverse = 1u << 2,
    kUnderline = 1u << 3,
  };

  enum class Glyph { kUpperLeft, kUpperRight, kLowerLeft, kLowerRight, kHorizontal, kVertical };

  enum class Key {
    kNone,
    kUp,
    kDown,
    kLeft,
    kRight,
    kTab,
    kBackTab,
    kEnter,
    kEscape,
    kInterrupt,      // Ctrl-C
    kResize,         // the terminal changed size
    kClick,          // left mouse button; row and column say where
    kCharacter,      // a printable key; character holds it
    kAltCharacter,   // Alt (or Escape) followed by a key; character holds it
    kEndOfInput,     // the terminal is gone
  };

  struct Input {
    Key key = Key::kNone;
    int character = 0;
    int row = 0;
    int column = 0;
  };

  CursesScreen() = default;
  ~CursesScreen();
  CursesScreen(const CursesScreen&) = delete;
  CursesScreen& operator=(const CursesScreen&) = delete;

  // Takes over the terminal on standard input and output. False when they
  // are not a terminal that ncurses can drive; nothing is changed then.
  bool Open();
  // Gives the terminal back as it was. Safe to call more than once.
  void Close();
  bool IsOpen() const { return screen_ != nullptr; }

  int Rows() const;
  int Columns() const;

  void Erase();
  // Drawing outside the screen is clipped silently.
  void PutGlyph(int row, int column, Glyph glyph, unsigned attributes = kPlain);
  void PutGlyphs(int row, int column, Glyph glyph, int count, unsigned attributes = kPlain);
  // Writes UTF-8 `text` at most `max_columns` columns wide; characters that
  // cannot be shown become "?". Returns the columns written.
  int PutText(int row, int column, const std::string& text, int max_columns,
              unsigned attributes = kPlain);
  // Places the visible cursor; a negative row hides it.
  void PlaceCursor(int row, int column);
  // Brings the terminal up to date with what was drawn.
  void Show();
  // Waits for the next key or click.
  Input ReadInput();

  // Columns `text` takes on the terminal, as PutText would draw it.
  static int TextColumns(const std::string& text);

 private:
  struct screen* screen_ = nullptr;
  int cursor_row_ = -1;
  int cursor_column_ = 0;
};

}  // namespace orla
