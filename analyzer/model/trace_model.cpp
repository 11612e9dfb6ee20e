// trace_model.cpp - names of the model's kinds, and the sink that fans out to several.
#include "analyzer/model/trace_model.h"

namespace jov::analyzer {

const char* CloseKindName(CloseKind kind) {
  switch (kind) {
    case CloseKind::kNormal:
      return "normal";
    case CloseKind::kOuterPop:
      return "by outer pop";
    case CloseKind::kPopMissing:
      return "without pop";
    case CloseKind::kOpenAtEnd:
      return "open";
  }
  return "?";
}

const char* TextKindName(TextKind kind) {
  switch (kind) {
    case TextKind::kPlain:
      return "text";
    case TextKind::kHeader:
      return "header";
    case TextKind::kClosed:
      return "closed";
    case TextKind::kTerminated:
      return "terminated";
    case TextKind::kSizeNotice:
      return "size notice";
    case TextKind::kDumpLine:
      return "hex dump";
    case TextKind::kHeapRow:
      return "heap report";
    case TextKind::kVirtualMemory:
      return "virtual memory";
    case TextKind::kWrapReason:
      return "wrap reason";
  }
  return "?";
}

const char* CounterKindName(CounterKind kind) {
  switch (kind) {
    case CounterKind::kInternalPool:
      return "Internal Pool";
    case CounterKind::kProcessBytes:
      return "Process Bytes";
    case CounterKind::kHandleCount:
      return "Handle Count";
    case CounterKind::kVirtualCommitted:
      return "Virtual Committed";
  }
  return "?";
}

const char* NoticeKindName(NoticeKind kind) {
  switch (kind) {
    case NoticeKind::kUnreadable:
      return "unreadable";
    case NoticeKind::kNotATrace:
      return "not a trace";
    case NoticeKind::kBadLine:
      return "bad line";
    case NoticeKind::kTruncatedLine:
      return "truncated line";
    case NoticeKind::kLongLine:
      return "long line";
    case NoticeKind::kNoHeader:
      return "no header";
    case NoticeKind::kBadPop:
      return "bad pop";
  }
  return "?";
}

void SinkFanout::BeginTrace(const TraceInfo& info) {
  for (TraceSink* sink : sinks_) sink->BeginTrace(info);
}
void SinkFanout::OnCall(const Call& call) {
  for (TraceSink* sink : sinks_) sink->OnCall(call);
}
void SinkFanout::OnText(const Text& text) {
  for (TraceSink* sink : sinks_) sink->OnText(text);
}
void SinkFanout::OnCounter(const CounterSample& sample) {
  for (TraceSink* sink : sinks_) sink->OnCounter(sample);
}
void SinkFanout::OnNotice(const Notice& notice) {
  for (TraceSink* sink : sinks_) sink->OnNotice(notice);
}
void SinkFanout::EndTrace(const TraceInfo& info, const TraceStats& stats) {
  for (TraceSink* sink : sinks_) sink->EndTrace(info, stats);
}

bool SinkFanout::WantsTexts() const {
  for (const TraceSink* sink : sinks_)
    if (sink->WantsTexts()) return true;
  return false;
}

}  // namespace jov::analyzer
