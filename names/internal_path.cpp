// internal_path.cpp - JOV_InternalPath: the long-path form of a path for the wide file
// functions, with an optional step that replaces a DFS link by its one target.
#include <windows.h>

#include <lmcons.h>
#include <lmapibuf.h>
#include <lmdfs.h>
#include <lmerr.h>

#include "JOVNames.h"
#include "JOVPlatform.h"
#include "names/names_internal.h"

namespace {

constexpr unsigned npos = 0xFFFFFFFFu;
constexpr wchar_t kLongPrefix[] = L"\\\\?\\";        // 4 characters
constexpr wchar_t kLongUncPrefix[] = L"\\\\?\\UNC";  // 7: the path's own "\" follows
constexpr DWORD kDfsInfoLevel = 3;

// Gives a record of the networking library back when the scope ends.
class NetBuffer {
 public:
  NetBuffer() = default;
  ~NetBuffer() {
    if (!record_) return;
    if (auto release = jov::names::ImplementedImport(&::NetApiBufferFree)) release(record_);
  }
  NetBuffer(const NetBuffer&) = delete;
  NetBuffer& operator=(const NetBuffer&) = delete;
  LPBYTE* address() { return &record_; }
  void Forget() { record_ = nullptr; }
  template <typename Record>
  const Record* as() const {
    return reinterpret_cast<const Record*>(record_);
  }

 private:
  LPBYTE record_ = nullptr;
};

// The one target of a DFS link as "\\server\share", or false when the query fails (the
// platform lacking it included), the link has no target or several, or the target's
// record lacks a name.
bool SingleDfsTarget(const JOVString& dfsPath, JOVString* target) {
  auto getInfo = jov::names::ImplementedImport(&::NetDfsGetInfo);
  if (!getInfo) return false;
  NetBuffer buffer;
  // The entry path parameter is not const in the platform's declaration; it is only read.
  LPWSTR entryPath = const_cast<LPWSTR>(dfsPath.c_str());
  if (getInfo(entryPath, nullptr, nullptr, kDfsInfoLevel, buffer.address()) != NERR_Success) {
    buffer.Forget();  // only a successful query hands a record over
    return false;
  }
  const DFS_INFO_3* info = buffer.as<DFS_INFO_3>();
  if (!info || info->NumberOfStorages != 1 || !info->Storage) return false;
  const DFS_STORAGE_INFO& storage = info->Storage[0];
  if (!storage.ServerName || !storage.ShareName) return false;
  target->assign(L"\\\\", 2u);
  target->append(storage.ServerName);
  target->append(L"\\", 1u);
  target->append(storage.ShareName);
  return true;
}

// Replaces "\\dom\root\link" at the front of a network path by the link's one target.
// Paths with fewer than three components behind the "\\" stay as they are.
void ResolveDfsLink(JOVString& path) {
  const unsigned serverEnd = path.find(L'\\', 3u);
  if (serverEnd == npos) return;
  const unsigned rootEnd = path.find(L'\\', serverEnd + 1);
  if (rootEnd == npos) return;
  const unsigned linkEnd = path.find(L'\\', rootEnd + 1);
  if (linkEnd == npos) return;
  JOVString dfsPath = path.substr(0u, linkEnd);
  JOVString target;
  if (!SingleDfsTarget(dfsPath, &target)) return;
  path.replace(0u, linkEnd, target, 0u, npos);
}

}  // namespace

JOVString JOV_InternalPath(const JOVString& path, int resolveDfs) {
  // Long paths exist in the NT family only; the prefixed and URL forms are final already.
  if (!JOV_IsWinNT()) return path;
  if (path.compare(0u, 4u, kLongPrefix, 4u) == 0) return path;
  if (path.find(L"://", 0u, 3u) != npos) return path;

  JOVString result;
  result.reserve(path.length() + 16);
  result.assign(path, 0u, npos);
  if (result.compare(0u, 2u, L"\\\\", 2u) != 0) {
    result.insert(0u, kLongPrefix, 4u);
    return result;
  }
  if (resolveDfs) ResolveDfsLink(result);
  result.erase(0u, 1u);
  result.insert(0u, kLongUncPrefix, 7u);
  return result;
}
