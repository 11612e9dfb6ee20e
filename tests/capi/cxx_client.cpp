// cxx_client.cpp - a C++ program of another compiler's ABI using JOVUtilCxx.h: the trace
// object's lifetime, routine scopes that pop what they pushed (the innermost with a return
// code), a move. Built by clang for the MSVC targets without a standard library, where the
// std::wstring members are left out; the MinGW g++ build of this file checks those too.
#include "JOVUtilCxx.h"
#include "client_support.h"

namespace {

void RoutineScopes(jovc::Trace& trace) {
  jovc::Routine outer(trace, L"Wrapper", L"Scope", L"from C++");
  CHECK(outer.result() == JOVC_OK && outer.level() == 0);
  {
    jovc::Routine inner(trace, L"Wrapper", L"Inner");
    CHECK(inner.level() == 1);
    inner.SetReturnCode(3);
    CHECK(trace.Line(L"wrapper line \x00E9t\x00E9 \x2713") == JOVC_OK);
    CHECK(trace.LineUtf8("wrapper UTF-8 \xE2\x9C\x93") == JOVC_OK);
#if JOVC_WITH_STD_WSTRING
    CHECK(trace.CallStack() == L"Wrapper.Scope;Wrapper.Inner");
    CHECK(trace.ActiveRoutine() == L"Wrapper.Inner");
#endif
  }
  // The inner scope has popped its level: a second routine takes the same one.
  jovc::Routine again(trace, L"Wrapper", L"Again");
  CHECK(again.level() == 1);
}

}  // namespace

extern "C" void run_cxx_client(const wchar_t* folder) {
  wchar_t name[300];
  join_path(name, folder, L"cxxclient");
  JOVC_TRACE dead = nullptr;
  {
    jovc::Trace trace;
    CHECK(trace.created() && trace.result() == JOVC_OK);
    CHECK(trace.Start(name) == JOVC_OK && trace.State() == JOVC_TRACE_FILE);
#if JOVC_WITH_STD_WSTRING
    CHECK(trace.Path() == name);
#endif
    RoutineScopes(trace);
    // A moved trace object keeps its file; the source no longer has one.
    jovc::Trace moved(static_cast<jovc::Trace&&>(trace));
    CHECK(!trace.created() && trace.Line(L"x") == JOVC_ERR_HANDLE);
    CHECK(moved.Line(L"after the move") == JOVC_OK);
    dead = moved.handle();
  }
  // The destructor destroyed the handle (and closed the file with "Trace Closed.").
  CHECK(dead != nullptr && jovc_trace_line(dead, L"x") == JOVC_ERR_HANDLE);
}
