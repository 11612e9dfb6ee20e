// exports_test.cpp - every function, member and global of the library's headers is in
// JOVUtil32.dll's export table, as a client's loader reads it. One list for the whole DLL,
// kept with the platform tests so that the 32-bit lane needs no process of its own for it.
#include "support/test_prelude.h"

#include <cxxabi.h>

#include <set>
#include <sstream>

// The public interface, blank-separated: "name(" is a function or member, matched by its
// demangled name up to the parenthesis (any overload counts), a name without one a global
// matched whole; a word ending in "::" is the class of the names after it, "::" ends it.
static const char kExports[] = R"(
JOV_ValidHandle( JOV_IsWinNT( JOV_IsWin2K( JOV_IsWinXP( JOV_IsWin2003( JOV_IsWinVista(
JOV_IsWin2008( JOV_IsWin7Or2008R2( JOV_IsBigEndian( JOV_TimerValue( JOV_CRCCompute( fnJOVUtil2(
JOV_MemoryDefine( JOV_MemoryGet( JOV_MemoryFree( JOV_MemoryFreePtr( JOV_MemoryCompact(
JOV_MemoryPoolFree( JOVMemAllocType JOVMemOptions JOV_MonitorMemory JOV_PoolMemBusy g_pJOVMemCtl
hJOVHeap m_LockMemory JOVString:: npos JOVString( ~JOVString( size( length( empty( capacity(
max_size( at( operator[]( begin( end( data( c_str( UnicodeString( ANSIString( SetSize( reserve(
swap( assign( operator=( append( append_char( operator+=( insert( erase( replace( resize( compare(
substr( Left( Right( Copy_s( CopyTString( LTrim( RTrim( Trim( LCase( UCase( ForcePrefix(
ForceSuffix( _NullTermString( find( rfind( find_first_of( find_last_of( find_first_not_of(
find_last_not_of( :: JOV_MatchCaseless( JOV_CompareCaseless( JOV_SubStrCompare( JOV_ReplaceString(
JOV_ParseDelimitedString( JOV_Trim( JOV_Left( JOV_Right( JOV_OverlappedStringCopy(
JOV_ResizeString( JOV_ResizeBuffer( JOV_LinkInitAnchor( JOV_LinkToHead( JOV_LinkToTail(
JOV_LinkRemove( JOV_LinkPopFirst( JOV_LinkNext( JOV_LinkPrior( JOV_MsgCreate( JOV_MsgAddInsertion(
JOV_MsgDestroy( JOV_MsgDestroyAll( JOV_MsgExport( gptrJOVMsgAnchor JOV_LogEvent( g_LogEntriesCount
g_LogEntriesMax g_FirstLogMsgTime g_LogMsgCancelTime JOVDebug:: JOVDebug( ~JOVDebug( operator=(
TraceStart( TraceStop( MaxLogSize( GetTracePath( TraceActive( TraceWrapActive( TraceAnyActive(
InsertMsg( TraceDumpWrap( TraceWrapStop( RoutinePush( RoutinePushReq( RoutinePop( ShowCallStack(
ActiveRoutine( HexDump( HexStringLine( HexString( HexStringForDWORD( TraceHeap(
TraceVirtualMemUsage( :: gptrCDebug JOV_TestFileExists( JOV_TestDirExists( JOV_GetDirFromPath(
JOV_GetUNCPath( JOV_InternalPath( JOV_GetLogonId( JOV_GetComputerName()";

TEST(DllExports, EveryDeclaredFunctionMemberAndGlobalIsExported) {
  // The export names as a client's loader reads them, demangled, cut after the first "(".
  std::set<std::string> exported;
  auto* base = reinterpret_cast<const BYTE*>(jovtest::LibraryModule());
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  auto* directory = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
      base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
  for (DWORD i = 0; i < directory->NumberOfNames; ++i) {
    const char* mangled = reinterpret_cast<const char*>(
        base + reinterpret_cast<const DWORD*>(base + directory->AddressOfNames)[i]);
    char* plain = abi::__cxa_demangle(mangled, nullptr, nullptr, nullptr);
    const std::string name = plain ? plain : mangled;
    exported.insert(name.substr(0, std::min(name.find('('), name.size() - 1) + 1));
    std::free(plain);
  }
  std::istringstream names(kExports);
  std::string prefix;
  for (std::string name; names >> name;) {
    if (name.size() >= 2 && name.compare(name.size() - 2, 2, "::") == 0)
      prefix = name == "::" ? "" : name;
    else
      EXPECT_EQ(exported.count(prefix + name), 1u) << "not exported: " << prefix << name;
  }
}
