// handle_test.cpp - the handle validity test and the fixed answers.
#include <gtest/gtest.h>

#include <JOVUtil.h>

TEST(ValidHandle, NullAndAllOnesAreInvalidAnythingElseValid) {
  EXPECT_EQ(JOV_ValidHandle(nullptr), 0);
  EXPECT_EQ(JOV_ValidHandle(INVALID_HANDLE_VALUE), 0);
  EXPECT_EQ(JOV_ValidHandle(::GetCurrentProcess()), 0);  // the pseudo handle is all ones
  EXPECT_EQ(JOV_ValidHandle(reinterpret_cast<void*>(1)), 1);
  EXPECT_EQ(JOV_ValidHandle(reinterpret_cast<void*>(4)), 1);
  EXPECT_EQ(JOV_ValidHandle(reinterpret_cast<void*>(~static_cast<UINT_PTR>(1))), 1);

  HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(JOV_ValidHandle(event), 1);
  ::CloseHandle(event);
}

TEST(FixedAnswers, LittleEndianAndFortyTwo) {
  EXPECT_EQ(JOV_IsBigEndian(), 0);
  EXPECT_EQ(fnJOVUtil2(), 42);
}
