// JOVStrings.h - the library's wide-character string class, JOVString, and the free string
// functions (caseless matching, replacement, delimited-list parsing, plain-array helpers).
//
// JOVString keeps the standard wide string's member names but its own rules: storage comes
// from JOV_MemoryGet and is given back when the length reaches 0, capacity grows in steps of
// 16 characters, positions past the end are clamped instead of raising errors, and errors
// are std::out_of_range / std::length_error with fixed messages. When the allocator yields
// nothing, the member throws std::bad_alloc and leaves the object as it was.
//
// Overloads taking a position and a character pointer side by side (assign(s, n) next to
// assign(first, last), insert(pos, n, c) next to insert(p, n, c)) make a bare literal 0
// ambiguous: pass counts and positions as unsigned values (0u).
#pragma once

#include <windows.h>

#include "JOVUtil_export.h"

// A wide-character string held in storage from the library's allocator, with the standard
// wide string's member names and the clamping, growth and error rules described above.
class JOVUTIL_API JOVString {
 public:
  // No position (as a result), up to the end (as a count): 0xFFFFFFFF.
  static const unsigned npos;

  // Construction: each constructor starts without storage and performs the assign named.
  JOVString();                                                           // empty, no storage
  JOVString(const JOVString& str, unsigned pos = 0, unsigned n = npos);  // assign(str, pos, n)
  JOVString(const wchar_t* s, unsigned n);                               // assign(s, n)
  JOVString(const char* s, unsigned n);                                  // narrow assign(s, n)
  JOVString(const wchar_t* s);                                           // assign(s)
  JOVString(const char* s);                                              // narrow assign(s)
  JOVString(unsigned n, wchar_t c);                                      // assign(n, c)
  JOVString(const wchar_t* first, const wchar_t* last);                  // assign(first, last)
  virtual ~JOVString();  // gives back the text and the ANSI copy

  // ---- Size and access -------------------------------------------------------------------
  unsigned size() const;      // length in characters, terminator not counted
  unsigned length() const;    // the same as size()
  bool empty() const;         // true when the length is 0
  unsigned capacity() const;  // characters the storage holds, terminator not counted
  unsigned max_size() const;  // 0x7FFFFFFD; lengths from it on are refused
  // Character pos; pos == length() is the terminator. Throws std::out_of_range
  // "JOVString::at invalid position argument" for pos > length().
  const wchar_t& at(unsigned pos) const;
  wchar_t& at(unsigned pos);  // the same, writable
  // Character pos, or a shared constant zero character for pos >= length(); never throws.
  // Do not write through the reference in that case.
  const wchar_t& operator[](unsigned pos) const;
  wchar_t& operator[](unsigned pos);  // the same, writable
  // The first character of the storage; null while the string holds no storage.
  const wchar_t* begin() const;
  wchar_t* begin();            // the same, writable
  const wchar_t* end() const;  // begin() + length() (the terminator); null without storage
  wchar_t* end();              // the same, writable
  // The text, never null, always zero-terminated.
  const wchar_t* data() const;
  const wchar_t* c_str() const;    // the same as data()
  const wchar_t* UnicodeString();  // the same as data()
  // A narrow copy (current C locale, wcstombs_s) owned by the object; empty when the text
  // cannot be represented. Valid until the next ANSIString, a reallocation, a release of
  // the storage or destruction; swap hands it over with the text. Throws std::bad_alloc.
  const char* ANSIString();
  // Sets the length to n and nothing else (for callers that wrote into the storage).
  void SetSize(unsigned n);
  // Grows the storage to hold n characters when n > capacity(); never shrinks.
  void reserve(unsigned n = 0);
  // Exchanges text, length, capacity and ANSI copy.
  void swap(JOVString& other);

  // Editing. Positions past the end are clamped (insert, replace) or ignored (erase); a
  // source position past the source's end selects nothing. Throws std::length_error with
  // the operation's message when the new length would pass 32 bits, with
  // "JOVString::_Grow invalid length parameter" when it reaches max_size(), and
  // std::bad_alloc when the allocator gives nothing; in each case the object is unchanged.
  // Narrow sources are converted under the current C locale; n counts converted characters
  // and is cut to the converted length (text that cannot be converted adds nothing).
  JOVString& assign(const JOVString& str, unsigned pos = 0, unsigned n = npos);
  JOVString& assign(const wchar_t* s, unsigned n);
  JOVString& assign(const char* s, unsigned n);
  JOVString& assign(unsigned n,
                    wchar_t c);  // n == npos: "JOVString::assign invalid length parameter"
  JOVString& assign(const wchar_t* s);
  JOVString& assign(const char* s);
  JOVString& assign(const wchar_t* first, const wchar_t* last);
  JOVString& operator=(const JOVString& str);
  JOVString& operator=(const wchar_t* s);
  JOVString& operator=(const char* s);
  JOVString& operator=(wchar_t c);

  // Appending behind the text: the sources of assign, with the same clamping, narrow
  // conversion and errors (length errors read "JOVString::append invalid length parameter",
  // or the replace message for the first/last form); on an error the object is unchanged.
  // append_char appends n copies of c; operator+= appends the whole of str or s.
  JOVString& append(const JOVString& str, unsigned pos = 0, unsigned n = npos);
  JOVString& append(const wchar_t* s, unsigned n);
  JOVString& append(const char* s, unsigned n);
  JOVString& append_char(unsigned n, wchar_t c);
  JOVString& append(const wchar_t* s);
  JOVString& append(const char* s);
  JOVString& append(const wchar_t* first, const wchar_t* last);
  JOVString& operator+=(const JOVString& str);
  JOVString& operator+=(const wchar_t* s);
  JOVString& operator+=(const char* s);
  JOVString& operator+=(wchar_t c);  // one character: append_char(1, c). Defined inline
                                     // below the class so that callers building text a
                                     // character at a time skip the call while there is room.

  // Inserting the object into itself inserts the piece as it was before the call.
  JOVString& insert(unsigned pos, const JOVString& str, unsigned pos2 = 0, unsigned n = npos);
  JOVString& insert(unsigned pos, const wchar_t* s, unsigned n);
  JOVString& insert(unsigned pos, unsigned n, wchar_t c);
  JOVString& insert(unsigned pos, const wchar_t* s);
  wchar_t* insert(const wchar_t* p, wchar_t c);  // returns the inserted character
  void insert(const wchar_t* p, unsigned n, wchar_t c);
  void insert(wchar_t* p, const wchar_t* first, const wchar_t* last);

  // Erasing down to length 0 gives the storage back; otherwise the capacity is kept.
  JOVString& erase(unsigned pos = 0, unsigned n = npos);
  wchar_t* erase(wchar_t* p);  // the character now at p, or null when no storage is left
  wchar_t* erase(wchar_t* first, wchar_t* last);

  // Replacing with the object itself as source uses the piece as it was before the call.
  JOVString& replace(unsigned pos, unsigned n, const JOVString& str, unsigned pos2 = 0,
                     unsigned m = npos);
  JOVString& replace(unsigned pos, unsigned n, const wchar_t* s, unsigned m);
  JOVString& replace(unsigned pos, unsigned n, unsigned m, wchar_t c);
  JOVString& replace(unsigned pos, unsigned n, const wchar_t* s);
  JOVString& replace(wchar_t* first, wchar_t* last, const JOVString& str);
  JOVString& replace(wchar_t* first, wchar_t* last, const wchar_t* s, unsigned m);
  JOVString& replace(wchar_t* first, wchar_t* last, const wchar_t* s);
  JOVString& replace(wchar_t* first, wchar_t* last, unsigned m, wchar_t c);
  JOVString& replace(wchar_t* first, wchar_t* last, const wchar_t* first2, const wchar_t* last2);

  // Longer: c appended; otherwise erase(n, npos).
  void resize(unsigned n, wchar_t c);
  void resize(unsigned n);

  // Searching: positions or npos. The core forms take an array s of n characters; the
  // others pass another string, a zero-terminated array or one character. An empty set
  // makes find_first_not_of / find_last_not_of answer npos.
  unsigned find(const wchar_t* s, unsigned pos, unsigned n) const;
  unsigned find(const JOVString& str, unsigned pos = 0) const;
  unsigned find(const wchar_t* s, unsigned pos = 0) const;
  unsigned find(wchar_t c, unsigned pos = 0) const;
  unsigned rfind(const wchar_t* s, unsigned pos, unsigned n) const;
  unsigned rfind(const JOVString& str, unsigned pos = npos) const;
  unsigned rfind(const wchar_t* s, unsigned pos = npos) const;
  unsigned rfind(wchar_t c, unsigned pos = npos) const;
  unsigned find_first_of(const wchar_t* s, unsigned pos, unsigned n) const;
  unsigned find_first_of(const JOVString& str, unsigned pos = 0) const;
  unsigned find_first_of(const wchar_t* s, unsigned pos = 0) const;
  unsigned find_first_of(wchar_t c, unsigned pos = 0) const;
  unsigned find_last_of(const wchar_t* s, unsigned pos, unsigned n) const;
  unsigned find_last_of(const JOVString& str, unsigned pos = npos) const;
  unsigned find_last_of(const wchar_t* s, unsigned pos = npos) const;
  unsigned find_last_of(wchar_t c, unsigned pos = npos) const;
  unsigned find_first_not_of(const wchar_t* s, unsigned pos, unsigned n) const;
  unsigned find_first_not_of(const JOVString& str, unsigned pos = 0) const;
  unsigned find_first_not_of(const wchar_t* s, unsigned pos = 0) const;
  unsigned find_first_not_of(wchar_t c, unsigned pos = 0) const;
  unsigned find_last_not_of(const wchar_t* s, unsigned pos, unsigned n) const;
  unsigned find_last_not_of(const JOVString& str, unsigned pos = npos) const;
  unsigned find_last_not_of(const wchar_t* s, unsigned pos = npos) const;
  unsigned find_last_not_of(wchar_t c, unsigned pos = npos) const;

  // Exact comparison by 16-bit code value: -1, 0 or +1; a shorter piece sorts first.
  int compare(unsigned pos, unsigned n, const wchar_t* s, unsigned m) const;
  int compare(const JOVString& str) const;
  int compare(const wchar_t* s) const;
  int compare(unsigned pos, unsigned n, const wchar_t* s) const;
  int compare(unsigned pos, unsigned n, const JOVString& str) const;
  int compare(unsigned pos, unsigned n, const JOVString& str, unsigned pos2, unsigned m) const;

  // Pieces, each a new string: substr clamps like the constructor; Left(n) gives all when
  // n > length(); Right(n) gives the empty string when n > length().
  JOVString substr(unsigned pos = 0, unsigned n = npos) const;
  JOVString Left(unsigned n) const;
  JOVString Right(unsigned n) const;

  // Copies up to count characters from pos into dest and returns how many; no terminator.
  // The copy never writes past destSize characters: a longer piece is cut to destSize.
  unsigned Copy_s(wchar_t* dest, unsigned destSize, unsigned count, unsigned pos = 0) const;
  // As Copy_s into destSize - 1 characters, then a zero behind them (destSize >= 1).
  unsigned CopyTString(wchar_t* dest, unsigned destSize, unsigned count, unsigned pos = 0) const;

  // Tidying in place: LTrim, RTrim and Trim remove the leading, the trailing or both runs
  // of blanks (U+0020 alone); LCase and UCase fold each code value up to 255 with the C
  // runtime's single-byte tolower / toupper (those functions know no others) and keep
  // values above 255.
  void LTrim();
  void RTrim();  // removes the trailing blanks
  void Trim();   // removes the leading and the trailing blanks
  void LCase();  // lower case by single-byte tolower; code values above 255 are kept
  void UCase();  // upper case by single-byte toupper; code values above 255 are kept
  // Inserts prefix at the front unless the text already begins with it (case-sensitive).
  void ForcePrefix(const JOVString& prefix);
  // Appends c unless the text already ends with it; an empty string becomes c.
  void ForceSuffix(wchar_t c);

 protected:
  // ---- Storage helpers, for derived classes ----------------------------------------------
  // Empties the object. With release, the fields are cleared and then the text and the
  // ANSI copy go back to the allocator; without, the fields are only cleared (construction).
  void _Tidy(bool release);
  // Sets the length to n and writes the terminator behind it; nothing without storage.
  void _NullTermString(unsigned n);
  // Makes room for n characters. n == 0 releases the storage and returns false; otherwise
  // returns true after reallocating (_Copy) when n >= capacity(). Throws std::length_error
  // "JOVString::_Grow invalid length parameter" when n >= max_size(), and std::bad_alloc
  // when the allocator gives nothing; in both cases the object is unchanged.
  bool _Grow(unsigned n);
  // Moves the text into a new block of n characters rounded up to a multiple of 16, keeping
  // at most n characters and dropping the ANSI copy; n == 0 releases the storage. Throws
  // std::bad_alloc when the allocator gives nothing (object unchanged).
  void _Copy(unsigned n);
  // The shared constant zero character read as the text of a string without storage.
  static const wchar_t* _Nullstr();
  // p - q in characters, or 0 when p is null.
  static unsigned _Pdif(const wchar_t* p, const wchar_t* q);
  // p + n, or null when p is null.
  static wchar_t* _Psum(wchar_t* p, unsigned n);
  static const wchar_t* _Psum(const wchar_t* p, unsigned n);

  wchar_t* charBuffer;    // charCapacity + 1 characters, or null
  unsigned charCount;     // length, terminator not counted
  unsigned charCapacity;  // 0 without storage
  char* ansiBuffer;       // the last ANSIString copy, or null

 private:
  // The one editing engine: replaces k characters at p (both already clamped) with count
  // characters copied from s or, when s is null, count copies of c. Overflow checks are the
  // callers'; the growth step's limit and the allocator's failure are checked here before
  // anything changes.
  JOVString& _Splice(unsigned p, unsigned k, const wchar_t* s, unsigned count, wchar_t c);
  // Converts narrow text under the C locale and splices up to n converted characters.
  JOVString& _SpliceNarrow(unsigned p, unsigned k, const char* s, unsigned n);
};

// Written in place while the new length stays below the capacity (where the growth step
// would neither renew nor release anything); otherwise the exported append_char.
inline JOVString& JOVString::operator+=(wchar_t c) {
  if (charCount + 1 < charCapacity) {
    charBuffer[charCount] = c;
    charBuffer[++charCount] = 0;
    return *this;
  }
  return append_char(1u, c);
}

// 1 when a and b are equal ignoring case (single-byte toupper per code value), else 0.
// Pointers are measured with lstrlenW: null counts as empty.
JOVUTIL_API int JOV_MatchCaseless(const JOVString& a, const JOVString& b);
JOVUTIL_API int JOV_MatchCaseless(const JOVString& a, const wchar_t* b);
JOVUTIL_API int JOV_MatchCaseless(const wchar_t* a, const wchar_t* b);

// -1, 0 or +1: upper-cased copies of a and b ordered by the global locale's collate facet.
JOVUTIL_API long JOV_CompareCaseless(const JOVString& a, const JOVString& b);

// Compares two pieces of zero-terminated arrays by 16-bit code value: -1, 0 or +1, a
// shorter piece before a longer one that begins with it. A piece starts at offset (a
// negative offset counts from the end, reaching at most the start) and runs for length
// characters, cut at the end of its array; a negative length runs to the end. An offset
// past the end, or a null array, gives an empty piece.
JOVUTIL_API long JOV_SubStrCompare(wchar_t* s1, long offset1, long length1, wchar_t* s2,
                                   long offset2, long length2);

// Replaces every occurrence of findText (exact, left to right, no overlap) by replaceText,
// at most maxReplacements times (0: no limit). *replaceCount receives the number made.
// Returns 0, or 87 for an empty or null findText (text unchanged). reserved is not used.
JOVUTIL_API unsigned long JOV_ReplaceString(JOVString& text, const wchar_t* findText,
                                            const wchar_t* replaceText, unsigned long* replaceCount,
                                            unsigned long reserved, unsigned long maxReplacements);
// The same on a zero-terminated buffer of *bufferSize characters. Returns 8 and sets
// *bufferSize to the size needed (terminator included) when the result does not fit; the
// buffer is then unchanged.
JOVUTIL_API unsigned long JOV_ReplaceString(wchar_t* buffer, unsigned long* bufferSize,
                                            const wchar_t* findText, const wchar_t* replaceText,
                                            unsigned long* replaceCount, unsigned long reserved,
                                            unsigned long maxReplacements);

// Takes the first field off a delimited list: field receives it and source loses it and
// the delimiter behind it. delimiters null means ","; wholeDelimiter non-zero matches the
// delimiter text as a whole, else any one of its characters ends the field. Delimiters
// inside double quotes do not count; a field quoted as a whole loses its outer quotes and
// has "" turned into ". trimBlanks non-zero trims source first and the field after.
JOVUTIL_API void JOV_ParseDelimitedString(JOVString& source, const wchar_t* delimiters,
                                          JOVString& field, int wholeDelimiter, int trimBlanks);
// The same on buffers; field must hold the source's length plus one characters.
JOVUTIL_API void JOV_ParseDelimitedString(wchar_t* source, const wchar_t* delimiters,
                                          wchar_t* field, int wholeDelimiter, int trimBlanks);

// Removes leading and trailing blanks (U+0020) of a zero-terminated array in place.
JOVUTIL_API void JOV_Trim(wchar_t* text);

// s.substr(0, n): the first n characters, or all of s when n > length.
JOVUTIL_API JOVString JOV_Left(const JOVString& s, unsigned n);
// s.substr(length - n, npos): the last n characters, or the empty string when n > length.
JOVUTIL_API JOVString JOV_Right(const JOVString& s, unsigned n);

// Copies count characters front to back, stepping with CharNextW, so the destination may
// overlap the source when it lies before it. Adds no terminator beyond what is copied.
JOVUTIL_API void JOV_OverlappedStringCopy(const wchar_t* destination, const wchar_t* source,
                                          unsigned long count);

// Reallocates a library-allocated string to newLength + 1 characters, keeping (and cutting
// to) newLength characters; a null *text becomes an empty string. Returns 0, or 14 when the
// allocator gives nothing (*text unchanged).
JOVUTIL_API unsigned long JOV_ResizeString(wchar_t** text, unsigned long newLength);

// Reallocates a library-allocated byte buffer to newSize bytes, keeping the smaller of the
// two sizes. Returns 0, or 14 when the allocator gives nothing (nothing changed).
JOVUTIL_API unsigned long JOV_ResizeBuffer(unsigned char** buffer, unsigned long* size,
                                           unsigned long newSize);
