// event_report_test.cpp - what JOV_LogEvent hands to the event log: the formatted text,
// the event type of each category, the source, and when nothing is reported at all.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <string>
#include <vector>

#include "event_capture.h"

namespace {

// Each case starts a fresh flood window and leaves the limits as it found them.
class EventReport : public ::testing::Test {
 protected:
  void SetUp() override { g_LogEntriesCount = 0; }
  void TearDown() override {
    JOV_MsgDestroyAll(&anchor_);
    g_LogEntriesCount = 0;
  }

  JOVMsg* Record(JOVMsgCategory category, std::vector<const wchar_t*> insertions) {
    JOVMsg* msg = JOV_MsgCreate(&anchor_, 77, category, 0, 0, 0, 0, nullptr);
    for (const wchar_t* text : insertions) JOV_MsgAddInsertion(msg, text);
    return msg;
  }

  EventCapture capture_;
  JOVLinkAnchor anchor_{};
};

}  // namespace

TEST_F(EventReport, TextWithoutPlaceholdersIsOneStringOfEventOne) {
  JOV_LogEvent(JOVMsgCatError, L"disk is full", 1234, nullptr);
  ASSERT_EQ(capture_.events.size(), 1u);
  const CapturedEvent& e = capture_.events[0];
  EXPECT_EQ(e.strings, std::vector<std::wstring>{L"disk is full"});
  EXPECT_EQ(e.eventId, 1u);  // always event 1, whatever the message id
  EXPECT_EQ(e.category, 0);
  EXPECT_FALSE(e.hasSid);
  EXPECT_EQ(e.dataSize, 0u);
  EXPECT_EQ(g_LogEntriesCount, 1);
  // The source is registered on the local computer for this one call.
  ASSERT_EQ(capture_.registeredLocally, std::vector<bool>{true});
  EXPECT_EQ(capture_.deregistered, std::vector<HANDLE>{e.handle});
}

TEST_F(EventReport, InsertionsFillPlaceholdersByNumber) {
  JOVMsg* msg = Record(JOVMsgCatError, {L"x", L"y"});
  JOV_LogEvent(*msg, L"%2-%1");
  JOVMsg* numbers = Record(JOVMsgCatError, {});
  JOV_MsgAddInsertion(numbers, 255L, 16);
  JOV_MsgAddInsertion(numbers, -5L, 10);
  JOV_LogEvent(*numbers, L"code %1, delta %2, code again %1", L"Numbers");
  ASSERT_EQ(capture_.events.size(), 2u);
  EXPECT_EQ(capture_.events[0].strings, std::vector<std::wstring>{L"y-x"});
  EXPECT_EQ(capture_.events[1].strings,
            std::vector<std::wstring>{L"code 0xff, delta -5, code again 0xff"});
  // The record is only read.
  EXPECT_EQ(msg->cbInsertions, 10u);
  EXPECT_EQ(std::wstring(msg->pInsertions, 4), std::wstring(L"x\0y\0", 4));
}

TEST_F(EventReport, ExportedBlockFindsItsInsertionsByOffset) {
  Record(JOVMsgCatError, {L"left", L"right"});
  JOVMsg* flat = JOV_MsgExport(&anchor_);
  ASSERT_NE(flat, nullptr);
  JOV_LogEvent(*flat, L"%1/%2");
  JOV_MsgDestroy(nullptr, flat);
  ASSERT_EQ(capture_.events.size(), 1u);
  EXPECT_EQ(capture_.events[0].strings, std::vector<std::wstring>{L"left/right"});
}

TEST_F(EventReport, CategoryPicksTheEventType) {
  const struct {
    int category;
    WORD type;
  } table[] = {{6, EVENTLOG_INFORMATION_TYPE},  {10, EVENTLOG_INFORMATION_TYPE},
               {20, EVENTLOG_INFORMATION_TYPE}, {30, EVENTLOG_INFORMATION_TYPE},
               {50, EVENTLOG_WARNING_TYPE},     {70, EVENTLOG_ERROR_TYPE},
               {90, EVENTLOG_ERROR_TYPE},       {40, EVENTLOG_ERROR_TYPE},
               {0, EVENTLOG_ERROR_TYPE},        {-1, EVENTLOG_ERROR_TYPE}};
  for (const auto& row : table) {
    JOVMsg* msg = Record(static_cast<JOVMsgCategory>(row.category), {L"t"});
    JOV_LogEvent(*msg, L"category %1");
  }
  ASSERT_EQ(capture_.events.size(), std::size(table));
  for (size_t i = 0; i < std::size(table); ++i)
    EXPECT_EQ(capture_.events[i].type, table[i].type) << "category " << table[i].category;
}

TEST_F(EventReport, NullOrEmptySourceRegistersTheDefaultName) {
  JOV_LogEvent(JOVMsgCatInfo, L"a", 1, nullptr);
  JOV_LogEvent(JOVMsgCatInfo, L"b", 1, L"");
  JOV_LogEvent(JOVMsgCatInfo, L"c", 1, L"Billing Agent");
  EXPECT_EQ(capture_.registered,
            (std::vector<std::wstring>{L"JOVMsg", L"JOVMsg", L"Billing Agent"}));
  EXPECT_EQ(capture_.deregistered.size(), 3u);
}

TEST_F(EventReport, RefusedSourceReportsAndCountsNothing) {
  capture_.refuseRegistration = true;
  JOV_LogEvent(JOVMsgCatError, L"lost", 1, nullptr);
  EXPECT_EQ(capture_.registered.size(), 1u);
  EXPECT_TRUE(capture_.events.empty());
  EXPECT_TRUE(capture_.deregistered.empty());
  EXPECT_EQ(g_LogEntriesCount, 0);
}

TEST_F(EventReport, NoFormattedTextReportsAndCountsNothing) {
  // Placeholders without insertions: the formatter gets no arguments array and fails.
  JOV_LogEvent(JOVMsgCatError, L"value %1", 1, nullptr);
  // No text and no message source: the id alone formats to nothing.
  JOV_LogEvent(JOVMsgCatError, nullptr, 7, nullptr);
  EXPECT_TRUE(capture_.registered.empty());
  EXPECT_TRUE(capture_.events.empty());
  EXPECT_EQ(g_LogEntriesCount, 0);
}

namespace {

// Stands in for the system formatter: records the call and answers with a fixed text.
struct FormatterCall {
  DWORD flags;
  const void* source;
  DWORD messageId;
  DWORD language;
  DWORD minimumSize;
  bool hasArguments;
  std::wstring firstArgument;
};
std::vector<FormatterCall> formatterCalls;

DWORD WINAPI FakeFormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD language,
                                LPWSTR buffer, DWORD size, va_list* arguments) {
  const auto* args = reinterpret_cast<const wchar_t* const*>(arguments);
  formatterCalls.push_back({flags, source, messageId, language, size, args != nullptr,
                            args != nullptr ? args[0] : L""});
  const wchar_t text[] = L"message from the id";
  auto* result = static_cast<wchar_t*>(::LocalAlloc(LMEM_FIXED, sizeof text));
  ::CopyMemory(result, text, sizeof text);
  *reinterpret_cast<wchar_t**>(buffer) = result;
  return static_cast<DWORD>(std::size(text) - 1);
}

}  // namespace

TEST_F(EventReport, WithoutTextTheMessageIdIsFormattedWithTheInsertions) {
  jovtest::ScopedImportPatch formatter("FormatMessageW",
                                       reinterpret_cast<const void*>(&FakeFormatMessageW));
  formatterCalls.clear();
  JOVMsg* msg = Record(JOVMsgCatWarning, {L"first", L"second"});
  msg->dwMsgId = 0xC0001234;
  JOV_LogEvent(*msg, nullptr);
  JOV_LogEvent(JOVMsgCatInfo, L"given %1", 55, nullptr);
  ASSERT_EQ(formatterCalls.size(), 2u);
  EXPECT_EQ(formatterCalls[0].flags, 0x2100u);
  EXPECT_EQ(formatterCalls[0].source, nullptr);
  EXPECT_EQ(formatterCalls[0].messageId, 0xC0001234u);
  EXPECT_EQ(formatterCalls[0].language, 0u);
  EXPECT_GE(formatterCalls[0].minimumSize, 80u);
  EXPECT_TRUE(formatterCalls[0].hasArguments);
  EXPECT_EQ(formatterCalls[0].firstArgument, L"first");
  EXPECT_EQ(formatterCalls[1].flags, 0x2500u);
  EXPECT_EQ(formatterCalls[1].messageId, 55u);
  EXPECT_FALSE(formatterCalls[1].hasArguments);  // no insertions: no array at all
  ASSERT_EQ(capture_.events.size(), 2u);
  EXPECT_EQ(capture_.events[0].strings, std::vector<std::wstring>{L"message from the id"});
  EXPECT_EQ(capture_.events[0].type, EVENTLOG_WARNING_TYPE);
}

TEST_F(EventReport, FirstEntryStartsTheWindowInRoundedUpSeconds) {
  g_FirstLogMsgTime = 0;
  const unsigned long long before = (JOV_TimerValue() + 999999) / 1000000;
  JOV_LogEvent(JOVMsgCatInfo, L"one", 1, nullptr);
  const unsigned long long after = (JOV_TimerValue() + 999999) / 1000000;
  EXPECT_GE(g_FirstLogMsgTime, before);
  EXPECT_LE(g_FirstLogMsgTime, after);
  EXPECT_NE(g_FirstLogMsgTime, 0u);
  g_FirstLogMsgTime = 1;  // a later entry of the same window keeps the start
  JOV_LogEvent(JOVMsgCatInfo, L"two", 1, nullptr);
  EXPECT_EQ(g_FirstLogMsgTime, 1u);
  EXPECT_EQ(g_LogEntriesCount, 2);
}

TEST(EventLogGlobals, DefaultsAreFiveHundredEntriesInFourHours) {
  EXPECT_EQ(g_LogEntriesMax, 500);
  EXPECT_EQ(g_LogMsgCancelTime, 14400u);
}
