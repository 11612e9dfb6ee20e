// eventlog_internal.h - the pieces of JOV_LogEvent: gathering and formatting the message
// text, reporting it to the event log, and appending it to the fallback file.
#pragma once

#include <windows.h>

#include <new>
#include <vector>

#include "JOVEventLog.h"
#include "JOVMemory.h"

namespace jov::eventlog {

// A standard allocator over the library's allocator, so that the arguments array comes
// from JOV_MemoryGet like every other block; a failed get throws std::bad_alloc.
template <typename T>
struct LibraryAllocator {
  using value_type = T;
  LibraryAllocator() = default;
  template <typename U>
  LibraryAllocator(const LibraryAllocator<U>&) {}
  T* allocate(std::size_t n) {
    void* block = JOV_MemoryGet(static_cast<unsigned long>(n * sizeof(T)), 0, __FILE__, __LINE__);
    if (block == nullptr) throw std::bad_alloc();
    return static_cast<T*>(block);
  }
  void deallocate(T* block, std::size_t) { JOV_MemoryFree(block); }
  template <typename U>
  bool operator==(const LibraryAllocator<U>&) const {
    return true;
  }
  template <typename U>
  bool operator!=(const LibraryAllocator<U>&) const {
    return false;
  }
};

// Pointers to a record's insertion strings followed by a null pointer; empty when the
// record has none, which stands for "no arguments array".
using InsertionArgs = std::vector<const wchar_t*, LibraryAllocator<const wchar_t*>>;
InsertionArgs CollectInsertions(const JOVMsg& msg);

// The formatted message text, a LocalAlloc block (the formatter allocates it); released
// when the owner goes.
class MessageText {
 public:
  MessageText() = default;
  ~MessageText() { Reset(nullptr); }
  MessageText(const MessageText&) = delete;
  MessageText& operator=(const MessageText&) = delete;
  const wchar_t* get() const { return text_; }
  // Takes ownership of a LocalAlloc block, releasing the one held before.
  void Reset(wchar_t* text) {
    if (text_ != nullptr) ::LocalFree(text_);
    text_ = text;
  }

 private:
  wchar_t* text_ = nullptr;
};

// Formats the record's message: from text when given, else from the system's message for
// its id, with the insertions as arguments. Leaves result empty when the formatter yields
// no characters.
void FormatMessageText(const JOVMsg& msg, const wchar_t* text, const InsertionArgs& args,
                       MessageText& result);

// The flood window: replaces the text by the final notice when the window's limit is
// already reached, or starts a new window when the old one has passed.
void ApplyFloodWindow(MessageText& message);

// Counts one entry; past the limit the process ends at once with exit code 112.
void CountEntry();

// A registered event source, deregistered when the owner goes.
class EventSource {
 public:
  EventSource() = default;
  ~EventSource();
  EventSource(const EventSource&) = delete;
  EventSource& operator=(const EventSource&) = delete;
  // Registers source (null or empty: "JOVMsg") on the local computer; false on failure.
  bool Register(const wchar_t* source);
  // Reports text as event 1 of the category's type; the outcome is not examined.
  void Report(JOVMsgCategory category, const wchar_t* text);

 private:
  HANDLE handle_ = nullptr;
};

// The event type for a category: information, warning or error.
WORD EventTypeOf(JOVMsgCategory category);

// Appends a time-stamped line to EventLog.txt beside the program. Returns false when the
// entry must not count (no directory in the program path, the file cannot be opened);
// exceptions on the way are swallowed and the entry counts.
bool AppendToLogFile(const wchar_t* text);

}  // namespace jov::eventlog
