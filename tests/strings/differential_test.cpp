// differential_test.cpp - random operation sequences applied to a JOVString and to a small
// reference model (std::wstring plus the class's clamping and growth rules), compared after
// every step: text, length and capacity, and the answers of the read-only members.
#include "support/test_prelude.h"

#include <cctype>

namespace {

constexpr unsigned kNpos = 0xFFFFFFFFu;
constexpr unsigned kSeed = 20261205u;

unsigned RoundUp16(unsigned n) { return ((n - 1) | 15u) + 1; }
// The piece of a source of `length` that pos and n select.
unsigned Piece(size_t length, unsigned pos, unsigned n) {
  return pos > length ? 0 : std::min<unsigned>(n, static_cast<unsigned>(length) - pos);
}
unsigned Ours(size_t position) {
  return position == std::wstring::npos ? kNpos : unsigned(position);
}
int Sign(int v) { return (v > 0) - (v < 0); }
using jovtest::Text;

// The reference: the text and the capacity the growth rule gives (length 0 releases the
// storage; reaching the capacity renews it at the next multiple of 16).
struct Model {
  std::wstring text;
  unsigned cap = 0;
  void Grow(unsigned n) { cap = n == 0 ? 0 : n >= cap ? RoundUp16(n) : cap; }
  // The core replace: always a growth step for the new length.
  void Replace(unsigned p, unsigned k, const std::wstring& piece) {
    text.replace(p, k, piece);
    Grow(static_cast<unsigned>(text.size()));
  }
  // The other cores leave the object alone when nothing is removed or added.
  void Splice(unsigned p, unsigned k, const std::wstring& piece) {
    if (k != 0 || !piece.empty()) Replace(p, k, piece);
  }
};

class Runner {
 public:
  // Runs one sequence; returns an empty string or a description of the first mismatch.
  std::string Sequence(int steps) {
    JOVString s;
    Model m;
    for (int step = 0; step < steps; ++step) {
      const std::string op = Step(s, m);
      if (Text(s) != m.text || s.size() != m.text.size() || s.capacity() != m.cap)
        return "step " + std::to_string(step) + " after " + op + ": length " +
               std::to_string(s.size()) + " capacity " + std::to_string(s.capacity()) +
               ", expected " + std::to_string(m.text.size()) + " and " + std::to_string(m.cap);
      if (!mismatch_.empty()) return "step " + std::to_string(step) + " " + mismatch_;
    }
    return {};
  }

 private:
  unsigned Below(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(rng_); }
  wchar_t Char() {
    static const wchar_t kAlphabet[] = {L'a', L'b', L'c', L' ', L'A', L'Z', 0xE9, 0x4E2D, 0xFFFF};
    return kAlphabet[Below(9)];
  }
  // A position or count: usually inside the text, sometimes past it, sometimes npos.
  unsigned Pos(size_t length) {
    const unsigned r = Below(20);
    return r == 0 ? kNpos : r < 3 ? unsigned(length) + Below(5) : Below(unsigned(length) + 1);
  }

  std::string Step(JOVString& s, Model& m) {
    mismatch_.clear();
    const unsigned length = static_cast<unsigned>(m.text.size());
    std::wstring w(Below(25), L'a');
    for (auto& c : w) c = Char();
    const JOVString other(w.c_str(), static_cast<unsigned>(w.size()));
    const bool self = Below(4) == 0;  // the object as its own source
    const std::wstring source = self ? m.text : w;
    const JOVString& from = self ? s : other;
    const unsigned pos = Pos(length), n = Pos(length), pos2 = Pos(source.size()),
                   cnt = Pos(source.size()), k = Piece(source.size(), pos2, cnt),
                   p = std::min(pos, length), count = Piece(length, p, n), r = Below(40);
    const std::wstring piece = k ? source.substr(pos2, k) : L"";
    const wchar_t c = Char();
    // Each edit goes through its core form or, by `r`, through a form that must act alike.
    wchar_t* const b = s.begin();
    switch (Below(16)) {
      case 0:
        if (r % 2)
          s.assign(from, pos2, cnt);
        else
          s.assign(piece.c_str(), piece.c_str() + k);
        if (self && r % 2) {  // the object's own piece is kept in place: two erases
          if (pos2 + k < length) m.Splice(pos2 + k, length - pos2 - k, L"");
          m.Splice(0, std::min(pos2, unsigned(m.text.size())), L"");
        } else {
          m.Replace(0, length, piece);
        }
        return "assign";
      case 1:
        s.assign(r, c);
        m.Replace(0, length, std::wstring(r, c));
        return "assign(n, c)";
      case 2:
      case 3:
        if (r % 3 == 0)
          s.append(from, pos2, cnt);
        else if (r % 3 == 1)
          s.append(piece.c_str(), piece.c_str() + k);
        else
          s += piece.c_str();
        r % 3 == 1 ? m.Replace(length, 0, piece) : m.Splice(length, 0, piece);
        return "append";
      case 4:
        s.append_char(r % 20, c);
        m.Splice(length, 0, std::wstring(r % 20, c));
        return "append_char";
      case 5:
        if (r % 2)
          s.insert(pos, from, pos2, cnt);
        else
          s.insert(b + p, piece.c_str(), piece.c_str() + k);
        r % 2 ? m.Splice(p, 0, piece) : m.Replace(p, 0, piece);
        return "insert";
      case 6:
        if (r % 2)
          s.insert(pos, r % 20, c);
        else
          s.insert(static_cast<const wchar_t*>(b + p), r % 20, c);
        m.Splice(p, 0, std::wstring(r % 20, c));
        return "insert(n, c)";
      case 7:
      case 8:
        if (r % 2 && pos < length)
          s.erase(b + p, b + p + count);
        else
          s.erase(pos, n);
        if (pos < length) m.Splice(p, count, L"");
        return "erase";
      case 9:
      case 10:
        if (r % 2)
          s.replace(pos, n, from, pos2, cnt);
        else
          s.replace(b + p, b + p + count, piece.c_str(), k);
        m.Replace(p, count, piece);
        return "replace";
      case 11:
        if (r % 2)
          s.replace(pos, n, r % 20, c);
        else
          s.replace(b + p, b + p + count, r % 20, c);
        m.Replace(p, count, std::wstring(r % 20, c));
        return "replace(n, c)";
      case 12:
        s.resize(r, c);
        if (r > length)
          m.Splice(length, 0, std::wstring(r - length, c));
        else
          m.Splice(r, length - r, L"");
        return "resize";
      case 13: {
        s.reserve(r * 2);
        if (r * 2 > m.cap) m.Grow(r * 2);
        const unsigned which = r % 3;  // LTrim, RTrim, Trim; npos + 1 wraps to 0
        const unsigned last = Ours(m.text.find_last_not_of(L' '));
        if (which != 0) m.Splice(last + 1, length - (last + 1), L"");
        const unsigned first = Ours(m.text.find_first_not_of(L' '));
        if (which != 1) m.Splice(0, std::min(first, unsigned(m.text.size())), L"");
        if (which == 0)
          s.LTrim();
        else if (which == 1)
          s.RTrim();
        else
          s.Trim();
        return "reserve and trim";
      }
      case 14:
        if (r % 2)
          s.UCase();
        else
          s.LCase();
        for (auto& ch : m.text)
          if (ch < 128) ch = static_cast<wchar_t>(r % 2 ? std::toupper(ch) : std::tolower(ch));
        return "case";
      default:
        Queries(s, m, w, pos, n);
        return "queries";
    }
  }

  // The core searches and comparisons against the standard's. The forms by string, by
  // zero-terminated array and by character only pass their arguments on to these cores.
  void Queries(const JOVString& s, const Model& m, const std::wstring& w, unsigned pos,
               unsigned n) {
    const std::wstring needle = w.substr(0, Below(4));
    const unsigned nn = static_cast<unsigned>(needle.size()), length = unsigned(m.text.size());
    const wchar_t* p = needle.c_str();
    const std::wstring piece = pos > length ? L"" : m.text.substr(pos, n);
    wchar_t copy[64] = {};
    const struct {
      const char* what;
      unsigned got, want;
    } answers[] = {
        {"find", s.find(p, pos, nn), Ours(m.text.find(p, pos, nn))},
        {"rfind", s.rfind(p, pos, nn), Ours(m.text.rfind(p, pos, nn))},
        {"find_first_of", s.find_first_of(p, pos, nn), Ours(m.text.find_first_of(p, pos, nn))},
        {"find_last_of", s.find_last_of(p, pos, nn), Ours(m.text.find_last_of(p, pos, nn))},
        // An empty set finds nothing, unlike the standard's "not of" searches.
        {"find_first_not_of", s.find_first_not_of(p, pos, nn),
         nn ? Ours(m.text.find_first_not_of(p, pos, nn)) : kNpos},
        {"find_last_not_of", s.find_last_not_of(p, pos, nn),
         nn ? Ours(m.text.find_last_not_of(p, pos, nn)) : kNpos},
        {"compare", unsigned(s.compare(pos, n, p, nn)), unsigned(Sign(piece.compare(needle)))},
        {"compare(str, pos2, m)", unsigned(s.compare(0u, kNpos, JOVString(s), pos, n)),
         unsigned(Sign(m.text.compare(piece)))},
        {"substr", Text(s.substr(pos, n)) == piece, 1},
        {"Right", Text(s.Right(n)) == (n > length ? L"" : m.text.substr(length - n)), 1},
        // Copy_s cuts the piece to the room given; CopyTString keeps one for the zero.
        {"Copy_s", s.Copy_s(copy, n % 40, kNpos, pos),
         std::min<unsigned>(unsigned(piece.size()), n % 40)},
        {"Copy_s text",
         std::wstring(copy, std::min<unsigned>(unsigned(piece.size()), n % 40)) ==
             piece.substr(0, n % 40),
         1},
        {"CopyTString", s.CopyTString(copy, n % 40 + 1, kNpos, pos),
         std::min<unsigned>(unsigned(piece.size()), n % 40)},
        {"CopyTString zero", copy[std::min<unsigned>(unsigned(piece.size()), n % 40)], 0},
    };
    for (const auto& a : answers)
      if (a.got != a.want && mismatch_.empty())
        mismatch_ = std::string(a.what) + " gave " + std::to_string(a.got) + ", expected " +
                    std::to_string(a.want) + " (pos " + std::to_string(pos) + ")";
  }

  std::mt19937 rng_{kSeed};
  std::string mismatch_;
};

}  // namespace

TEST(StringDifferential, RandomSequencesMatchTheReferenceModel) {
  const int sequences = sizeof(void*) == 4 ? 2000 : 20000;  // the emulated lane runs a tenth
  Runner runner;
  for (int i = 0; i < sequences; ++i) {
    const std::string failure = runner.Sequence(40);
    ASSERT_TRUE(failure.empty()) << "seed " << kSeed << ", sequence " << i << ": " << failure;
  }
}
