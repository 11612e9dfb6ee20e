// link_list.cpp - the intrusive doubly linked list: insertion, checked removal, pop and
// single steps, each under the anchor's optional lock (a critical section, so the owning
// thread may take it again: JOV_LinkPopFirst relies on that).
#include "JOVLists.h"
#include "platform/scope_lock.h"

void JOV_LinkInitAnchor(JOVLinkAnchor* anchor, CRITICAL_SECTION* lock) {
  if (anchor == nullptr) return;  // documented as not null; refuse quietly rather than fault
  anchor->pHead = nullptr;
  anchor->pTail = nullptr;
  anchor->nCount = 0;
  anchor->pLock = lock;
}

unsigned long JOV_LinkToHead(JOVLinkAnchor* anchor, void* element) {
  if (anchor == nullptr || element == nullptr) return JOVLinkErrToHeadArgs;
  ::SetLastError(0);
  JOVLink* link = static_cast<JOVLink*>(element);
  jov::ScopeLock guard(anchor->pLock);
  link->pPrior = nullptr;
  link->pNext = anchor->pHead;
  if (anchor->pHead != nullptr) anchor->pHead->pPrior = link;
  anchor->pHead = link;
  if (anchor->pTail == nullptr) anchor->pTail = link;
  ++anchor->nCount;
  return 0;
}

unsigned long JOV_LinkToTail(JOVLinkAnchor* anchor, void* element) {
  if (anchor == nullptr || element == nullptr) return JOVLinkErrToTailArgs;
  ::SetLastError(0);
  JOVLink* link = static_cast<JOVLink*>(element);
  jov::ScopeLock guard(anchor->pLock);
  link->pNext = nullptr;
  link->pPrior = anchor->pTail;
  if (anchor->pTail != nullptr) anchor->pTail->pNext = link;
  anchor->pTail = link;
  if (anchor->pHead == nullptr) anchor->pHead = link;
  ++anchor->nCount;
  return 0;
}

unsigned long JOV_LinkRemove(JOVLinkAnchor* anchor, void* element) {
  if (anchor == nullptr || element == nullptr) return JOVLinkErrRemoveArgs;
  ::SetLastError(0);
  JOVLink* link = static_cast<JOVLink*>(element);
  jov::ScopeLock guard(anchor->pLock);

  // Every check runs before the first write, so a refused removal changes nothing. The
  // checks catch an element of another list at either end of it; one with neighbours on
  // both sides in another list cannot be told apart from a member by its links alone.
  if (anchor->pHead == nullptr) return JOVLinkErrEmpty;
  JOVLink* prior = link->pPrior;
  JOVLink* next = link->pNext;
  if (prior == nullptr) {
    if (anchor->pHead != link) return JOVLinkErrNotHead;
  } else if (prior->pNext != link) {
    return JOVLinkErrPriorBroken;
  }
  if (next == nullptr) {
    if (anchor->pTail != link) return JOVLinkErrNotTail;
  } else if (next->pPrior != link) {
    return JOVLinkErrNextBroken;
  }

  if (prior == nullptr)
    anchor->pHead = next;
  else
    prior->pNext = next;
  if (next == nullptr)
    anchor->pTail = prior;
  else
    next->pPrior = prior;
  link->pNext = nullptr;
  link->pPrior = nullptr;
  --anchor->nCount;
  return 0;
}

void* JOV_LinkPopFirst(JOVLinkAnchor* anchor) {
  if (anchor == nullptr) throw static_cast<unsigned long>(JOVLinkErrPopAnchor);
  JOVLink* head;
  unsigned long code = 0;
  {
    // Reading the head and removing it is one locked step, so two threads popping the
    // same list never get the same element. JOV_LinkRemove takes the lock again.
    jov::ScopeLock guard(anchor->pLock);
    head = anchor->pHead;
    if (head != nullptr) code = JOV_LinkRemove(anchor, head);
  }
  if (code != 0) throw code;
  return head;
}

namespace {

// One step of a walk; `forward` picks the link to read.
void* LinkStep(JOVLinkAnchor* anchor, void* element, unsigned long nullAnchorCode, bool forward) {
  if (anchor == nullptr) throw nullAnchorCode;
  ::SetLastError(0);
  if (element == nullptr) return nullptr;
  const JOVLink* link = static_cast<const JOVLink*>(element);
  jov::ScopeLock guard(anchor->pLock);
  return forward ? link->pNext : link->pPrior;
}

}  // namespace

void* JOV_LinkNext(JOVLinkAnchor* anchor, void* element) {
  return LinkStep(anchor, element, JOVLinkErrNextAnchor, true);
}

void* JOV_LinkPrior(JOVLinkAnchor* anchor, void* element) {
  return LinkStep(anchor, element, JOVLinkErrPriorAnchor, false);
}
