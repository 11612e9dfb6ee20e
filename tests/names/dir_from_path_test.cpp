// dir_from_path_test.cpp - the directory part of a path: drive, network and relative
// paths, with and without the trailing separator, and paths that have none.
#include <gtest/gtest.h>

#include <string>

#include <JOVUtil.h>

#include "names/names_test_support.h"

using names_test::Text;

namespace {

struct DirRow {
  const wchar_t* path;
  const wchar_t* withoutSeparator;  // flag 0
  const wchar_t* withSeparator;     // flag 1
};

std::wstring DirOf(const wchar_t* path, int flag) {
  JOVString directory(L"stale");
  EXPECT_EQ(JOV_GetDirFromPath(JOVString(path), directory, flag), 0) << path;
  return Text(directory);
}

void ExpectRows(std::initializer_list<DirRow> rows) {
  for (const DirRow& row : rows) {
    EXPECT_EQ(DirOf(row.path, 0), row.withoutSeparator) << "flag 0: " << row.path;
    EXPECT_EQ(DirOf(row.path, 1), row.withSeparator) << "flag 1: " << row.path;
  }
}

}  // namespace

TEST(DirFromPath, DrivePathsKeepTheRootSeparatorOnly) {
  ExpectRows({
      {L"C:\\dir\\file.txt", L"C:\\dir", L"C:\\dir\\"},
      {L"C:\\a\\b\\", L"C:\\a\\b", L"C:\\a\\b\\"},
      {L"C:\\file.txt", L"C:\\", L"C:\\"},
      {L"C:\\", L"C:\\", L"C:\\"},
      {L"C:/dir/file", L"C:/dir", L"C:/dir/"},
  });
}

TEST(DirFromPath, NetworkPathsNeverCutIntoServerOrShare) {
  ExpectRows({
      {L"\\\\srv\\shr\\dir\\file", L"\\\\srv\\shr\\dir", L"\\\\srv\\shr\\dir\\"},
      {L"\\\\srv\\shr\\file", L"\\\\srv\\shr", L"\\\\srv\\shr\\"},
      {L"\\\\srv\\shr", L"", L""},
      {L"\\\\srv", L"", L""},
      {L"\\\\", L"", L""},
  });
}

TEST(DirFromPath, RelativeAndRootedPaths) {
  ExpectRows({
      {L"dir\\file", L"dir", L"dir\\"},
      {L"a/b/c", L"a/b", L"a/b/"},
      {L"\\file", L"\\", L"\\"},
      {L"file.txt", L"", L""},
      {L"C:file.txt", L"", L""},
  });
}

TEST(DirFromPath, BackslashWinsOverLaterSlash) {
  // The last '/' counts only when the path has no '\' at all.
  ExpectRows({{L"C:\\dir/sub/file", L"C:\\", L"C:\\"}});
}

TEST(DirFromPath, BlanksAroundThePathAreIgnored) {
  ExpectRows({
      {L"   C:\\dir\\file  ", L"C:\\dir", L"C:\\dir\\"},
      {L"  C:\\  ", L"C:\\", L"C:\\"},
      {L"     ", L"", L""},
      {L"", L"", L""},
  });
}

TEST(DirFromPath, PathAndDirectoryMayBeTheSameString) {
  JOVString text(L"C:\\dir\\file");
  EXPECT_EQ(JOV_GetDirFromPath(text, text, 0), 0);
  EXPECT_EQ(Text(text), L"C:\\dir");
}
