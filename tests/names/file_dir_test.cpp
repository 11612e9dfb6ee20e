// file_dir_test.cpp - the file and directory tests on real scratch files, and the answers
// the system gives only rarely (access denied, odd codes) through a replaced query.
#include <gtest/gtest.h>

#include <string>

#include <JOVUtil.h>

#include "names/names_test_support.h"
#include "support/import_patch.h"

using names_test::ScratchTree;

namespace {

int g_attributeCalls = 0;
std::wstring g_queriedPath;
DWORD g_errorToReport = 0;

// Records the path and fails with g_errorToReport.
DWORD WINAPI FailingAttributes(LPCWSTR path) {
  ++g_attributeCalls;
  g_queriedPath = path;
  ::SetLastError(g_errorToReport);
  return INVALID_FILE_ATTRIBUTES;
}

void ReplaceAttributesWithFailure(DWORD error) {
  g_attributeCalls = 0;
  g_queriedPath.clear();
  g_errorToReport = error;
}

}  // namespace

TEST(FileAndDirTests, ExistingFileIsAFileAndNotADirectory) {
  ScratchTree tree;
  EXPECT_EQ(JOV_TestFileExists(JOVString(tree.File().c_str())), 0);
  EXPECT_EQ(JOV_TestDirExists(JOVString(tree.File().c_str())), 183);
  EXPECT_EQ(JOV_TestFileExists(tree.File().c_str()), 0);  // the wide-array form
}

TEST(FileAndDirTests, ExistingDirectoryIsADirectoryAndNotAFile) {
  ScratchTree tree;
  EXPECT_EQ(JOV_TestDirExists(JOVString(tree.Dir().c_str())), 0);
  EXPECT_EQ(JOV_TestFileExists(JOVString(tree.Dir().c_str())), 183);
  EXPECT_EQ(JOV_TestFileExists(tree.Dir().c_str()), 183);
}

TEST(FileAndDirTests, MissingPathsGiveTheSystemsCodeAndLeaveItAsLastError) {
  ScratchTree tree;
  const JOVString missingFile((tree.Root() + L"\\absent.txt").c_str());
  EXPECT_EQ(JOV_TestFileExists(missingFile), 2);
  EXPECT_EQ(::GetLastError(), 2u);
  EXPECT_EQ(JOV_TestDirExists(missingFile), 2);
  const JOVString missingParent((tree.Root() + L"\\absent\\x.txt").c_str());
  EXPECT_EQ(JOV_TestFileExists(missingParent), 3);
  EXPECT_EQ(JOV_TestDirExists(missingParent), 3);
  EXPECT_EQ(::GetLastError(), 3u);
}

TEST(FileAndDirTests, StaleLastErrorDoesNotLeakIntoTheAnswer) {
  ScratchTree tree;
  ::SetLastError(1234);
  EXPECT_EQ(JOV_TestFileExists(JOVString(tree.File().c_str())), 0);
  EXPECT_EQ(::GetLastError(), 0u);
  ::SetLastError(5);
  EXPECT_EQ(JOV_TestDirExists(JOVString(tree.File().c_str())), 183);
}

TEST(FileAndDirTests, EmptyPathGivesTwoWithoutAskingTheSystem) {
  ReplaceAttributesWithFailure(5);
  jovtest::ScopedImportPatch patch("GetFileAttributesW", names_test::Entry(&FailingAttributes));
  ::SetLastError(0);
  EXPECT_EQ(JOV_TestFileExists(JOVString()), 2);
  EXPECT_EQ(::GetLastError(), 2u);
  EXPECT_EQ(JOV_TestDirExists(JOVString(L"")), 2);
  EXPECT_EQ(JOV_TestFileExists(L""), 2);
  EXPECT_EQ(JOV_TestFileExists(static_cast<const wchar_t*>(nullptr)), 2);
  EXPECT_EQ(g_attributeCalls, 0);
}

TEST(FileAndDirTests, AccessDeniedCountsAsTheKindAskedFor) {
  ReplaceAttributesWithFailure(5);
  jovtest::ScopedImportPatch patch("GetFileAttributesW", names_test::Entry(&FailingAttributes));
  EXPECT_EQ(JOV_TestFileExists(JOVString(L"C:\\locked\\file")), 0);
  EXPECT_EQ(::GetLastError(), 5u);  // left as the query set it
  EXPECT_EQ(JOV_TestDirExists(JOVString(L"C:\\locked")), 0);
  EXPECT_EQ(g_attributeCalls, 2);
}

TEST(FileAndDirTests, PathReachesTheSystemUntrimmedAndUnprefixed) {
  ReplaceAttributesWithFailure(2);
  jovtest::ScopedImportPatch patch("GetFileAttributesW", names_test::Entry(&FailingAttributes));
  EXPECT_EQ(JOV_TestFileExists(JOVString(L"   ")), 2);
  EXPECT_EQ(g_queriedPath, L"   ");
  EXPECT_EQ(JOV_TestDirExists(JOVString(L" C:\\dir ")), 2);
  EXPECT_EQ(g_queriedPath, L" C:\\dir ");
}
