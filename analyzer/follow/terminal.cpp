// terminal.cpp - terminal modes, keys and drawing: termios and poll on POSIX; on Windows the
// console's modes (VT processing on, line input and echo off) and its input records.
#include "analyzer/follow/terminal.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace jov::analyzer {
namespace {

std::atomic<bool> interrupted{false};

const char kEnterScreen[] = "\x1b[?1049h\x1b[?25l\x1b[H\x1b[2J";
const char kLeaveScreen[] = "\x1b[0m\x1b[?25h\x1b[?1049l";

void AppendLine(std::string& out, const ScreenLine& line) {
  if (line.title) out += "\x1b[7m";
  out += line.text;
  out += "\x1b[K";
  if (line.title) out += "\x1b[0m";
}

#ifdef _WIN32
BOOL WINAPI OnControl(DWORD) {
  interrupted = true;
  return TRUE;
}
#else
void OnSignal(int) { interrupted = true; }
#endif

}  // namespace

bool Terminal::Interrupted() { return interrupted; }

void Terminal::Size(int& width, int& height) const {
  width = 80;
  height = 24;
#ifdef _WIN32
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_OUTPUT_HANDLE), &info)) {
    width = info.srWindow.Right - info.srWindow.Left + 1;
    height = info.srWindow.Bottom - info.srWindow.Top + 1;
  }
#else
  struct winsize size;
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
    width = size.ws_col;
    height = size.ws_row;
  }
#endif
  if (width < 20) width = 20;
  if (height < 8) height = 8;
}

void Terminal::Draw(const std::vector<ScreenLine>& lines) {
#ifdef _WIN32
  if (!vt_) {
    int width = 0, height = 0;
    Size(width, height);
    for (int row = 0; row < height; ++row)
      DrawRow(row, row < static_cast<int>(lines.size()) ? lines[static_cast<std::size_t>(row)]
                                                        : ScreenLine());
    return;
  }
#endif
  std::string frame = "\x1b[H";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i != 0) frame += "\r\n";
    AppendLine(frame, lines[i]);
  }
  frame += "\x1b[J";
  std::fwrite(frame.data(), 1, frame.size(), out_);
  std::fflush(out_);
}

void Terminal::DrawLast(const ScreenLine& line, int height) {
#ifdef _WIN32
  if (!vt_) {
    DrawRow(height - 1, line);
    return;
  }
#endif
  std::string text = "\x1b[" + std::to_string(height) + ";1H";
  AppendLine(text, line);
  std::fwrite(text.data(), 1, text.size(), out_);
  std::fflush(out_);
}

#ifdef _WIN32

bool Terminal::Interactive() {
  DWORD mode;
  return ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode) &&
         ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode);
}

void Terminal::CatchInterrupts() { ::SetConsoleCtrlHandler(OnControl, TRUE); }

namespace {

// Whether the console interprets VT sequences: a cursor sent to column 1 by one lands there.
bool VtWorks(HANDLE out) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!::GetConsoleScreenBufferInfo(out, &info)) return false;
  ::SetConsoleCursorPosition(out, COORD{4, info.dwCursorPosition.Y});
  DWORD written = 0;
  ::WriteConsoleA(out, "\x1b[1G", 4, &written, nullptr);
  return ::GetConsoleScreenBufferInfo(out, &info) && info.dwCursorPosition.X == 0;
}

}  // namespace

bool Terminal::Enter() {
  HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD inputMode = 0, outputMode = 0;
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!::GetConsoleMode(in, &inputMode) || !::GetConsoleMode(out, &outputMode) ||
      !::GetConsoleScreenBufferInfo(out, &info)) {
    return false;
  }
  std::fflush(out_);
  // Windows 10 and later interpret VT sequences once asked to.
  ::SetConsoleMode(out, outputMode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  vt_ = VtWorks(out);
  ::SetConsoleMode(in,
                   (inputMode & ~(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT)) | ENABLE_PROCESSED_INPUT);
  inputMode_ = inputMode;
  outputMode_ = outputMode;
  attributes_ = info.wAttributes;
  outputCodePage_ = ::GetConsoleOutputCP();
  ::SetConsoleOutputCP(CP_UTF8);  // the screen's text is UTF-8
  entered_ = true;
  if (vt_) {
    std::fputs(kEnterScreen, out_);
    std::fflush(out_);
  } else {
    CONSOLE_CURSOR_INFO cursor;
    if (::GetConsoleCursorInfo(out, &cursor)) {
      cursorVisible_ = cursor.bVisible != 0;
      cursor.bVisible = FALSE;
      ::SetConsoleCursorInfo(out, &cursor);
    }
    ClearWindow();
  }
  return true;
}

void Terminal::ClearWindow() {
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!::GetConsoleScreenBufferInfo(out, &info)) return;
  int width = 0, height = 0;
  Size(width, height);
  for (int row = 0; row < height; ++row) DrawRow(row, ScreenLine());
  ::SetConsoleCursorPosition(out, COORD{0, info.srWindow.Top});
}

void Terminal::DrawRow(int row, const ScreenLine& line) {
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!::GetConsoleScreenBufferInfo(out, &info)) return;
  const int width = info.srWindow.Right - info.srWindow.Left + 1;
  std::wstring text(static_cast<std::size_t>(width), L' ');
  if (!line.text.empty()) {
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, line.text.data(),
                                             static_cast<int>(line.text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L' ');
    ::MultiByteToWideChar(CP_UTF8, 0, line.text.data(), static_cast<int>(line.text.size()),
                          &wide[0], length);
    text.replace(0, std::min(wide.size(), text.size()), wide.substr(0, text.size()));
  }
  const COORD at{info.srWindow.Left, static_cast<SHORT>(info.srWindow.Top + row)};
  DWORD done = 0;
  ::WriteConsoleOutputCharacterW(out, text.data(), static_cast<DWORD>(width), at, &done);
  // A title: the window's colours swapped.
  const WORD swapped = static_cast<WORD>(((attributes_ & 0x0F) << 4) | ((attributes_ & 0xF0) >> 4));
  ::FillConsoleOutputAttribute(out, line.title ? swapped : attributes_, static_cast<DWORD>(width),
                               at, &done);
}

void Terminal::Leave() {
  if (!entered_) return;
  entered_ = false;
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (vt_) {
    std::fputs(kLeaveScreen, out_);
    std::fflush(out_);
  } else {
    ClearWindow();
    CONSOLE_CURSOR_INFO cursor;
    if (::GetConsoleCursorInfo(out, &cursor)) {
      cursor.bVisible = cursorVisible_;
      ::SetConsoleCursorInfo(out, &cursor);
    }
  }
  ::SetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), inputMode_);
  ::SetConsoleMode(out, outputMode_);
  ::SetConsoleOutputCP(outputCodePage_);
}

int Terminal::ReadKey(int ms) {
  HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
  const ULONGLONG until = ::GetTickCount64() + static_cast<ULONGLONG>(ms);
  for (;;) {
    const ULONGLONG now = ::GetTickCount64();
    const DWORD wait = now >= until ? 0 : static_cast<DWORD>(until - now);
    if (::WaitForSingleObject(in, wait) != WAIT_OBJECT_0 || interrupted) return -1;
    INPUT_RECORD record;
    DWORD read = 0;
    if (!::ReadConsoleInputW(in, &record, 1, &read) || read == 0) return -1;
    if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;
    switch (record.Event.KeyEvent.wVirtualKeyCode) {
      case VK_ESCAPE:
        return kEscape;
      case VK_RETURN:
        return kEnter;
      case VK_BACK:
        return kBackspace;
      default:
        break;
    }
    const wchar_t c = record.Event.KeyEvent.uChar.UnicodeChar;
    if (c >= 0x20 && c < 0x7F) return static_cast<int>(c);
  }
}

void SleepFor(int ms) {
  if (!interrupted) ::Sleep(static_cast<DWORD>(ms));
}

#else

struct Terminal::Saved {
  struct termios mode;
};

bool Terminal::Interactive() { return ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO); }

void Terminal::CatchInterrupts() {
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a wait in poll or sleep ends at once.
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGHUP, &action, nullptr);
}

bool Terminal::Enter() {
  struct termios mode;
  if (::tcgetattr(STDIN_FILENO, &mode) != 0) return false;
  saved_ = new Saved{mode};
  mode.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  mode.c_cc[VMIN] = 0;
  mode.c_cc[VTIME] = 0;
  ::tcsetattr(STDIN_FILENO, TCSANOW, &mode);
  entered_ = true;
  std::fputs(kEnterScreen, out_);
  std::fflush(out_);
  return true;
}

void Terminal::Leave() {
  if (!entered_) return;
  entered_ = false;
  std::fputs(kLeaveScreen, out_);
  std::fflush(out_);
  ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_->mode);
  delete saved_;
  saved_ = nullptr;
}

int Terminal::ReadKey(int ms) {
  if (keys_.empty()) {
    struct pollfd in = {STDIN_FILENO, POLLIN, 0};
    if (::poll(&in, 1, ms) <= 0) return -1;
    char bytes[64];
    const ssize_t got = ::read(STDIN_FILENO, bytes, sizeof bytes);
    if (got <= 0) return -1;
    keys_.append(bytes, static_cast<std::size_t>(got));  // keys typed at once come together
  }
  const auto key = static_cast<unsigned char>(keys_[0]);
  keys_.erase(0, 1);
  if (key == kEscape) {
    if (keys_.empty() || (keys_[0] != '[' && keys_[0] != 'O')) return kEscape;
    // A sequence (an arrow key: ESC [ A) is dropped up to its final byte.
    std::size_t end = 1;
    while (end < keys_.size() && !(keys_[end] >= 0x40 && keys_[end] <= 0x7E)) ++end;
    keys_.erase(0, end + 1);
    return -1;
  }
  if (key == '\n' || key == '\r') return kEnter;
  if (key == 127 || key == 8) return kBackspace;
  return key;
}

void SleepFor(int ms) {
  if (!interrupted) ::poll(nullptr, 0, ms);
}

#endif

}  // namespace jov::analyzer
