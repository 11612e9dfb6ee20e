// reader_types.h - the reader's model and core types that the diff uses, named in the reader's
// namespace jov::analyzer while the rest of the reader still lives in `jovtrace`.
#pragma once

#include "analyzer/byte_source.h"
#include "analyzer/name_table.h"
#include "analyzer/progress_bar.h"
#include "analyzer/run.h"
#include "analyzer/trace_model.h"

namespace jov::analyzer {

using jovtrace::Call;
using jovtrace::FileOpener;
using jovtrace::Micros;
using jovtrace::NameId;
using jovtrace::NameTable;
using jovtrace::ProgressBar;
using jovtrace::Run;
using jovtrace::RunOptions;
using jovtrace::RunResult;
using jovtrace::SinkFanout;
using jovtrace::TraceSink;

}  // namespace jov::analyzer
