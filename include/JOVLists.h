// JOVLists.h - intrusive doubly linked lists with an optional owner's lock, and the
// message records (JOVMsg) kept on such lists, with their insertion strings and flat form.
//
// Sizes: on the 32-bit build JOVLinkAnchor is 16 bytes and JOVMsg 44 bytes (eleven 32-bit
// words). The 64-bit build widens only the pointer fields; the offsets of the exported
// form are always measured in sizeof(JOVMsg).
#pragma once

#include <windows.h>

#include "JOVUtil_export.h"

class JOVDebug;  // the trace object (JOVDebug.h); records take its active routine's name

// The two link words at the very start of every element of a list.
struct JOVLink {
  JOVLink* pNext;   // towards the tail, null at the tail
  JOVLink* pPrior;  // towards the head, null at the head
};

// The head of a list. pLock, when set, is a critical section that the owner initialises
// before JOV_LinkInitAnchor and deletes after the list is no longer used; every operation
// holds it for its own pointer writes, re-entrantly.
struct JOVLinkAnchor {
  JOVLink* pHead;           // first element, null when empty
  JOVLink* pTail;           // last element, null when empty
  CRITICAL_SECTION* pLock;  // the owner's lock, or null for a list without locking
  unsigned long nCount;     // number of elements, changed only under the lock
};

// Result codes of the list operations (returned, or thrown as unsigned long).
enum : unsigned long {
  JOVLinkErrToHeadArgs = 20000,   // JOV_LinkToHead: anchor or element null
  JOVLinkErrToTailArgs = 20002,   // JOV_LinkToTail: anchor or element null
  JOVLinkErrRemoveArgs = 20004,   // JOV_LinkRemove: anchor or element null
  JOVLinkErrEmpty = 20005,        // JOV_LinkRemove: the list is empty
  JOVLinkErrNotHead = 20006,      // no prior element, but not the head
  JOVLinkErrPriorBroken = 20007,  // the prior element does not point back
  JOVLinkErrNotTail = 20008,      // no next element, but not the tail
  JOVLinkErrNextBroken = 20009,   // the next element does not point back
  JOVLinkErrPopAnchor = 20011,    // JOV_LinkPopFirst: anchor null (thrown)
  JOVLinkErrNextAnchor = 20012,   // JOV_LinkNext: anchor null (thrown)
  JOVLinkErrPriorAnchor = 20013,  // JOV_LinkPrior: anchor null (thrown)
};

// Elements are passed as void*: any record that begins with a JOVLink can be queued.
// The list never allocates or frees anything.

// Empties the anchor (head, tail, count 0) and stores lock, which is neither initialised
// nor checked. anchor must not be null.
JOVUTIL_API void JOV_LinkInitAnchor(JOVLinkAnchor* anchor, CRITICAL_SECTION* lock);

// Makes element the first of the list. Returns 0, or 20000 when either argument is null.
// The element's links need not be null beforehand; an element already in a list must not
// be inserted again (not detected).
JOVUTIL_API unsigned long JOV_LinkToHead(JOVLinkAnchor* anchor, void* element);

// Makes element the last of the list. Returns 0, or 20002 when either argument is null.
JOVUTIL_API unsigned long JOV_LinkToTail(JOVLinkAnchor* anchor, void* element);

// Unlinks element and nulls its links. Returns 0, 20004 (a null argument), 20005 (empty
// list) or 20006 to 20009 (the element's links disagree with this list); on a code
// nothing is changed.
JOVUTIL_API unsigned long JOV_LinkRemove(JOVLinkAnchor* anchor, void* element);

// Unlinks and returns the first element, or null for an empty list; reading the head and
// removing it is one locked step. Throws (unsigned long)20011 for a null anchor, and any
// code 20005 to 20009 that the removal returns.
JOVUTIL_API void* JOV_LinkPopFirst(JOVLinkAnchor* anchor);

// The element's next element (towards the tail), read under the lock; null for the tail
// and for a null element (which does not stand for the head). Throws (unsigned long)20012
// for a null anchor. Walking a shared list while others change it needs the caller to hold
// the anchor's lock for the whole walk.
JOVUTIL_API void* JOV_LinkNext(JOVLinkAnchor* anchor, void* element);
// The element's prior element (towards the head), read under the lock; null for the head
// and for a null element. Throws (unsigned long)20013 for a null anchor. The same note on
// walking a shared list applies.
JOVUTIL_API void* JOV_LinkPrior(JOVLinkAnchor* anchor, void* element);

// Category of a message record; the event logger reports 6 to 30 as information, 50 as a
// warning and everything else (any 32-bit value may be stored) as an error.
enum JOVMsgCategory : int {
  JOVMsgCatTrace = 6,  // the trace writer's own failures
  JOVMsgCatDebug = 10,
  JOVMsgCatDetail = 20,
  JOVMsgCatInfo = 30,
  JOVMsgCatWarning = 50,
  JOVMsgCatError = 70,
  JOVMsgCatFatal = 90,
};

// A message record. In a list the two string fields hold addresses; in the exported form
// (JOV_MsgExport) they hold byte offsets from the start of the block: pInsertions
// sizeof(JOVMsg), pszRoutine sizeof(JOVMsg) + cbInsertions, or 0 when absent.
struct JOVMsg {
  JOVLink link;                // list links; zero in the exported form
  unsigned long dwMsgId;       // message identifier, formatted by the event logger
  unsigned long dwData3;       // caller value
  wchar_t* pszRoutine;         // copy of the creator's active routine name, or null
  wchar_t* pInsertions;        // insertion strings, each terminated, then one more 0
  unsigned long cbInsertions;  // bytes of the insertion list with its final 0; 0 if none
  JOVMsgCategory eCategory;    // severity; decides the event logger's event type
  unsigned short wData;        // caller value
  unsigned short wReserved;    // always 0
  unsigned long dwData1;       // caller value
  unsigned long dwData2;       // caller value
};

// The process's message list for the client's own use: an empty list without a lock at
// load. Nothing in the library touches it.
extern JOVUTIL_API JOVLinkAnchor gptrJOVMsgAnchor;

// A new record, appended at the tail of anchor's list, or null when it cannot be
// allocated. When trace is given and its active routine name is not empty, the record
// keeps a copy of that name (left null if the copy cannot be allocated). A link failure
// is thrown as its unsigned long code (20002 for a null anchor); the record is then
// released first, so nothing leaks.
JOVUTIL_API JOVMsg* JOV_MsgCreate(JOVLinkAnchor* anchor, unsigned long msgId,
                                  JOVMsgCategory category, unsigned short wData,
                                  unsigned long dwData1, unsigned long dwData2,
                                  unsigned long dwData3, JOVDebug* trace);

// Appends text to the record's insertion list. Returns 0, 8 when the enlarged list cannot
// be allocated (the record unchanged), or 87 when msg or text is null.
JOVUTIL_API unsigned long JOV_MsgAddInsertion(JOVMsg* msg, const wchar_t* text);

// Appends a number as text: radix 16 gives "0x" and lower-case hex of the value taken as
// unsigned 32-bit; any other radix the conversion in that radix, signed (with a minus
// sign) for radix 10 and unsigned otherwise. Results as above; a radix outside 2..36
// gives 87. Small radices may need up to 32 digits: the text is built in a buffer large
// enough for them rather than cut to 15 characters.
JOVUTIL_API unsigned long JOV_MsgAddInsertion(JOVMsg* msg, long value, unsigned long radix);

// Releases the record and what it owns, unlinking it first when anchor is given (the
// result of the unlink is ignored). Also releases an exported block (anchor null), whose
// offset fields are recognised and not released on their own.
JOVUTIL_API void JOV_MsgDestroy(JOVLinkAnchor* anchor, JOVMsg* msg);

// Pops and releases every record of the list. Lets the exceptions of JOV_LinkPopFirst and
// JOV_MemoryFree pass.
JOVUTIL_API void JOV_MsgDestroyAll(JOVLinkAnchor* anchor);

// Pops the first record and returns it flattened into one block: the record, its
// insertion list, its routine name, with offsets in place of addresses and the links
// zeroed. Null for an empty list. If the block cannot be obtained, the popped record is
// put back at the head of the list and null is returned. The caller releases the block
// with JOV_MsgDestroy(nullptr, block) or JOV_MemoryFree.
JOVUTIL_API JOVMsg* JOV_MsgExport(JOVLinkAnchor* anchor);
