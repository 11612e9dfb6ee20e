// terminal.h - the follow screen on a terminal: a Linux terminal or a Windows console (with
// its VT processing turned on), keys read one at a time without echo, the screen drawn with
// VT sequences on the alternate screen and put back as it was on leaving.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "analyzer/follow/screen_view.h"

namespace jov::analyzer {

class Terminal {
 public:
  static constexpr int kEscape = 27;
  static constexpr int kEnter = '\r';
  static constexpr int kBackspace = 8;

  // Whether standard input and output are both a terminal.
  static bool Interactive();
  // Set by Ctrl-C or a termination signal: the loop ends and the terminal is put back.
  static bool Interrupted();
  // Catches the interrupt and termination signals (also without a terminal).
  static void CatchInterrupts();

  explicit Terminal(std::FILE* out) : out_(out) {}
  ~Terminal() { Leave(); }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  // Keys without echo, the alternate screen, no cursor. False when the terminal refuses.
  bool Enter();
  void Leave();
  // Columns and rows (80 x 24 when the terminal does not say).
  void Size(int& width, int& height) const;
  // Waits up to `ms` milliseconds for a key: its character, kEscape, kEnter, kBackspace,
  // or -1 when none came (other keys are read and dropped).
  int ReadKey(int ms);
  // Draws the whole screen, or only its last line.
  void Draw(const std::vector<ScreenLine>& lines);
  void DrawLast(const ScreenLine& line, int height);

 private:
  std::FILE* out_;
  bool entered_ = false;
#ifdef _WIN32
  // Consoles that leave VT sequences uninterpreted (before Windows 10, Wine's) are drawn
  // through the console's own character and attribute calls.
  void DrawRow(int row, const ScreenLine& line);
  void ClearWindow();
  bool vt_ = false;
  unsigned long inputMode_ = 0;
  unsigned long outputMode_ = 0;
  unsigned outputCodePage_ = 0;
  unsigned short attributes_ = 0;
  bool cursorVisible_ = true;
#else
  struct Saved;
  Saved* saved_ = nullptr;
  std::string keys_;  // read but not handed out yet
#endif
};

// Sleeps up to `ms` milliseconds or until an interrupt.
void SleepFor(int ms);

}  // namespace jov::analyzer
