// log_file.cpp - the fallback of JOV_LogEvent on systems without an event log: a line in
// EventLog.txt beside the program, stamped with the local time.
#include <ctime>

#include "JOVNames.h"
#include "JOVPlatform.h"
#include "JOVStrings.h"
#include "eventlog/eventlog_internal.h"

namespace jov::eventlog {

namespace {

constexpr wchar_t kLogFileName[] = L"EventLog.txt";
constexpr wchar_t kLogFileSuffix[] = L"\\EventLog.txt";
// A fixed deployment: a program named vb6.exe logs into the agent's folder when the agent
// is present there.
constexpr wchar_t kIdeHostSuffix[] = L"\\vb6.exe";
constexpr wchar_t kIdeAgentPath[] = L"H:\\Varnholt\\NextRelease\\JOVAgent.dll";
constexpr wchar_t kIdeLogPath[] = L"H:\\Varnholt\\NextRelease\\EventLog.txt";
constexpr unsigned kTimeStampLength = 24;  // ctime's text without its line feed

// Holds an open file handle for a scope.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (JOV_ValidHandle(handle_)) ::CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

bool EndsWithCaseless(const JOVString& text, const wchar_t* suffix) {
  const unsigned n = static_cast<unsigned>(::lstrlenW(suffix));
  return text.length() >= n && JOV_MatchCaseless(text.Right(n), suffix) == 1;
}

// The log file's path from the program's path; empty when the program path names no
// directory.
JOVString LogFilePath() {
  JOVString commandLine(::GetCommandLineW());
  JOVString path;
  // The first blank-delimited field; a quoted path keeps its blanks and loses its quotes.
  JOV_ParseDelimitedString(commandLine, L" ", path, 0, 1);
  if (EndsWithCaseless(path, kIdeHostSuffix) && JOV_TestFileExists(kIdeAgentPath) == 0)
    path = kIdeLogPath;
  if (!EndsWithCaseless(path, kLogFileSuffix)) {
    const unsigned slash = path.rfind(L'\\');
    if (slash == JOVString::npos) return JOVString();
    path.erase(slash + 1);
    path += kLogFileName;
  }
  return path;
}

// The local time as ctime shows it, "Www Mmm dd hh:mm:ss yyyy", without the line feed.
JOVString TimeStamp() {
  wchar_t buffer[26] = {};
  const __time64_t now = ::_time64(nullptr);
  if (::_wctime64_s(buffer, 26, &now) != 0) return JOVString();
  return JOVString(buffer, kTimeStampLength);
}

}  // namespace

bool AppendToLogFile(const wchar_t* text) {
  try {
    JOVString path = LogFilePath();
    if (path.empty()) return false;
    FileHandle file(::CreateFileA(path.ANSIString(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!JOV_ValidHandle(file.get())) return false;
    ::SetFilePointer(file.get(), 0, nullptr, FILE_END);

    JOVString line = TimeStamp();
    line += L' ';
    line += text;
    line += L"\r\n";
    // Written as the narrow copy holds it: the whole converted line, which is never read
    // past even when some characters could not be converted.
    const char* narrow = line.ANSIString();
    DWORD written = 0;
    ::WriteFile(file.get(), narrow, static_cast<DWORD>(::lstrlenA(narrow)), &written, nullptr);
  } catch (...) {
    // A failure on the way (an allocation) still counts the entry, written or not.
  }
  return true;
}

}  // namespace jov::eventlog
