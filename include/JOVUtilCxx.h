// JOVUtilCxx.h - a header-only C++ wrapper over the C interface (JOVUtilC.h): a trace object
// that destroys its handle, and a routine scope that pops what it pushed. It calls nothing
// but the C interface, so any C++ compiler (MSVC, clang-cl, g++) can use it.
//
// Nothing here throws: members return the C interface's JOVC_RESULT. The std::wstring
// members are there when <string> is (JOVC_WITH_STD_WSTRING 1); define JOVC_WITH_STD_WSTRING
// as 0 before including this header to leave them out, e.g. in a program built without a
// C++ standard library.
#ifndef JOVUTILCXX_H
#define JOVUTILCXX_H

#include "JOVUtilC.h"

#if !defined(JOVC_WITH_STD_WSTRING)
#if defined(__has_include)
#if __has_include(<string>)
#define JOVC_WITH_STD_WSTRING 1
#endif
#endif
#endif
#if !defined(JOVC_WITH_STD_WSTRING)
// 1 when the std::wstring members are compiled (by default when <string> exists), else 0.
#define JOVC_WITH_STD_WSTRING 0
#endif

#if JOVC_WITH_STD_WSTRING
#include <string>
#endif

namespace jovc {

#if JOVC_WITH_STD_WSTRING
// The text of a text-out function of the C interface, called as query(buffer, capacity):
// asks for the length, then for the text (again if it grew in between); empty on failure.
template <typename Query>
std::wstring TextOut(Query query) {
  std::wstring text;
  int32_t needed = query(nullptr, 0);
  while (needed > 0) {
    text.resize(static_cast<size_t>(needed));
    const int32_t length = query(&text[0], static_cast<uint32_t>(needed));
    if (length <= 0) break;
    if (length <= needed) {
      text.resize(static_cast<size_t>(length - 1));
      return text;
    }
    needed = length;
  }
  return std::wstring();
}
#endif

// A trace object owned by this C++ object: created by the constructor, destroyed (its file
// closed with "Trace Closed.") by the destructor. Movable, not copyable.
class Trace {
 public:
  // Creates the trace object; created() tells whether that worked, result() why not.
  Trace() : handle_(nullptr), result_(jovc_trace_create(&handle_)) {}
  ~Trace() { Reset(); }
  Trace(const Trace&) = delete;
  Trace& operator=(const Trace&) = delete;
  // Takes over other's trace object; other is left without one.
  Trace(Trace&& other) noexcept : handle_(other.handle_), result_(other.result_) {
    other.handle_ = nullptr;
  }
  // Destroys this object's trace object and takes over other's.
  Trace& operator=(Trace&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = other.handle_;
      result_ = other.result_;
      other.handle_ = nullptr;
    }
    return *this;
  }

  // The C handle, for calls of the C interface that have no member here.
  JOVC_TRACE handle() const { return handle_; }
  // Whether the constructor got a trace object.
  bool created() const { return handle_ != nullptr; }
  // The constructor's result.
  JOVC_RESULT result() const { return result_; }

  // jovc_trace_start: a file trace (wrapSize 0) or a wrap trace of wrapSize bytes.
  JOVC_RESULT Start(const wchar_t* name = nullptr, uint32_t wrapSize = 0) {
    return jovc_trace_start(handle_, name, wrapSize);
  }
  // jovc_trace_stop, with the "Trace Closed." line unless closedLine is false.
  JOVC_RESULT Stop(bool closedLine = true) { return jovc_trace_stop(handle_, closedLine ? 1 : 0); }
  // jovc_trace_state's bits, 0 on a bad handle.
  uint32_t State() const {
    uint32_t state = 0;
    jovc_trace_state(handle_, &state);
    return state;
  }
  // One line of UTF-16 text.
  JOVC_RESULT Line(const wchar_t* text) { return jovc_trace_line(handle_, text); }
  // One line of UTF-8 text.
  JOVC_RESULT LineUtf8(const char* text) { return jovc_trace_line_utf8(handle_, text); }
  // jovc_trace_hex_dump.
  JOVC_RESULT HexDump(const void* bytes, uint32_t count, const wchar_t* title = nullptr) {
    return jovc_trace_hex_dump(handle_, bytes, count, title);
  }
  // jovc_trace_dump_wrap.
  JOVC_RESULT DumpWrap(const wchar_t* reason = nullptr) {
    return jovc_trace_dump_wrap(handle_, reason);
  }
  // jovc_trace_wrap_stop.
  JOVC_RESULT WrapStop() { return jovc_trace_wrap_stop(handle_); }

#if JOVC_WITH_STD_WSTRING
  // One line of the string's text.
  JOVC_RESULT Line(const std::wstring& text) { return Line(text.c_str()); }
  // The name given to the last Start; empty on failure.
  std::wstring Path() const { return Text(jovc_trace_path); }
  // The routine stack's names joined by ";"; empty on failure.
  std::wstring CallStack() const { return Text(jovc_trace_call_stack); }
  // The innermost routine's name; empty on failure.
  std::wstring ActiveRoutine() const { return Text(jovc_trace_active_routine); }
#endif

 private:
  void Reset() {
    if (handle_ != nullptr) jovc_trace_destroy(handle_);
    handle_ = nullptr;
  }
#if JOVC_WITH_STD_WSTRING
  // The text of one of the trace's text-out functions.
  std::wstring Text(int32_t(JOVC_CALL* query)(JOVC_TRACE, wchar_t*, uint32_t)) const {
    const JOVC_TRACE handle = handle_;
    return TextOut(
        [=](wchar_t* buffer, uint32_t capacity) { return query(handle, buffer, capacity); });
  }
#endif

  JOVC_TRACE handle_;
  JOVC_RESULT result_;
};

// A routine on a trace's stack for the lifetime of this object: pushed by the constructor,
// popped by the destructor with the return code set last (none by default).
class Routine {
 public:
  // Pushes className "." routineName (with detail when not null).
  Routine(Trace& trace, const wchar_t* className, const wchar_t* routineName,
          const wchar_t* detail = nullptr, int32_t traceSelector = JOVC_TRACE_INHERIT)
      : trace_(trace.handle()), level_(-1), returnCode_(JOVC_NO_VALUE) {
    result_ = jovc_routine_push(trace_, className, routineName, detail, traceSelector, &level_);
  }
  // Pops the level pushed, and every level above it, with the return code.
  ~Routine() {
    if (result_ == JOVC_OK) jovc_routine_pop(trace_, level_, returnCode_);
  }
  Routine(const Routine&) = delete;
  Routine& operator=(const Routine&) = delete;

  // The code the Pop line shows.
  void SetReturnCode(int32_t code) { returnCode_ = code; }
  // The level pushed (0 for the outermost); -1 when the push failed.
  int32_t level() const { return level_; }
  // The push's result.
  JOVC_RESULT result() const { return result_; }

 private:
  JOVC_TRACE trace_;
  int32_t level_;
  int32_t returnCode_;
  JOVC_RESULT result_;
};

#if JOVC_WITH_STD_WSTRING
// The long-path form of a path (jovc_long_path); empty on failure.
inline std::wstring LongPath(const std::wstring& path) {
  return TextOut([&](wchar_t* buffer, uint32_t capacity) {
    return jovc_long_path(path.c_str(), 0, buffer, capacity);
  });
}
#endif

}  // namespace jovc

#endif  // JOVUTILCXX_H
