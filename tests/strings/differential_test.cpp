// differential_test.cpp - random operation sequences applied to a JOVString and to a small
// reference model (std::wstring plus the class's clamping and growth rules), compared
// after every step: text, length and capacity, and the answers of the read-only members.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "string_test_util.h"

using strtest::Text;

namespace {

constexpr unsigned kNpos = 0xFFFFFFFFu;
constexpr unsigned kSeed = 20261205u;

unsigned RoundUp16(unsigned n) { return ((n - 1) | 15u) + 1; }
unsigned Piece(unsigned length, unsigned pos, unsigned n) {
  return pos > length ? 0 : std::min(n, length - pos);
}
unsigned ToOurs(size_t position) {
  return position == std::wstring::npos ? kNpos : static_cast<unsigned>(position);
}
int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

// The reference: text and the capacity the growth rule gives.
struct Model {
  std::wstring text;
  unsigned cap = 0;

  void Grow(unsigned n) {  // the growth step: 0 releases, reaching the capacity renews
    if (n == 0)
      cap = 0;
    else if (n >= cap)
      cap = RoundUp16(n);
  }
  void Splice(unsigned p, unsigned k, const std::wstring& piece) {
    text.replace(p, k, piece);
    Grow(static_cast<unsigned>(text.size()));
  }
  void Erase(unsigned pos, unsigned n) {
    const unsigned length = static_cast<unsigned>(text.size());
    if (pos >= length || std::min(n, length - pos) == 0) return;
    Splice(pos, std::min(n, length - pos), L"");
  }
};

class Runner {
 public:
  explicit Runner(unsigned seed) : rng_(seed) {}

  // Runs one sequence; returns an empty string or a description of the first mismatch.
  std::string Sequence(int steps) {
    JOVString s;
    Model m;
    for (int step = 0; step < steps; ++step) {
      std::string op = Step(s, m);
      std::ostringstream why;
      if (Text(s) != m.text || s.size() != m.text.size() || s.capacity() != m.cap)
        why << "after " << op << ": length " << s.size() << " capacity " << s.capacity()
            << ", expected length " << m.text.size() << " capacity " << m.cap;
      else if (!mismatch_.empty())
        why << mismatch_;
      if (!why.str().empty()) return "step " + std::to_string(step) + " " + why.str();
    }
    return {};
  }

 private:
  unsigned Below(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(rng_); }
  wchar_t Char() {
    static const wchar_t kAlphabet[] = {L'a', L'b', L'c', L' ', L'A', L'Z', 0xE9, 0x4E2D};
    return kAlphabet[Below(8)];
  }
  std::wstring Word(unsigned maxLength) {
    std::wstring w(Below(maxLength + 1), L'a');
    for (auto& c : w) c = Char();
    return w;
  }
  // A position or count: usually inside the text, sometimes past it, sometimes npos.
  unsigned Pos(size_t length) {
    const unsigned r = Below(20);
    if (r == 0) return kNpos;
    if (r < 3) return static_cast<unsigned>(length) + Below(5);
    return Below(static_cast<unsigned>(length) + 1);
  }

  std::string Step(JOVString& s, Model& m) {
    mismatch_.clear();
    const unsigned length = static_cast<unsigned>(m.text.size());
    const std::wstring w = Word(24);
    const unsigned wn = static_cast<unsigned>(w.size());
    const JOVString other(w.c_str(), wn);
    const bool self = Below(4) == 0;  // the object as its own source
    const std::wstring source = self ? m.text : w;
    const unsigned pos = Pos(length), n = Pos(length), pos2 = Pos(source.size()),
                   cnt = Pos(source.size());
    const wchar_t c = Char();
    switch (Below(18)) {
      case 0:
        s.assign(w.c_str(), wn);
        m.Splice(0, length, w);
        return "assign(s, n)";
      case 1: {
        const unsigned k = Piece(wn, pos2 % (wn + 3), cnt);
        s.assign(other, pos2 % (wn + 3), cnt);
        m.text = w.substr(pos2 % (wn + 3) > wn ? wn : pos2 % (wn + 3), k);
        m.Grow(k);
        return "assign(str, pos, n)";
      }
      case 2: {
        const unsigned k = Below(40);
        s.assign(k, c);
        m.Splice(0, length, std::wstring(k, c));
        return "assign(n, c)";
      }
      case 3:
      case 4: {
        const unsigned k = Piece(static_cast<unsigned>(source.size()), pos2, cnt);
        if (self) s.append(s, pos2, cnt); else s.append(other, pos2, cnt);
        if (k) m.Splice(length, 0, source.substr(pos2, k));
        return "append(str, pos, n)";
      }
      case 5: {
        const unsigned k = Below(20);
        const std::wstring added = Below(2) ? std::wstring(k, c) : w.substr(0, k);
        if (added == std::wstring(k, c) && !added.empty() && Below(2) == 0)
          s.append_char(k, c);
        else
          s.append(added.c_str(), static_cast<unsigned>(added.size()));
        if (!added.empty()) m.Splice(length, 0, added);
        return "append_char / append(s, n)";
      }
      case 6: {
        const unsigned k = Piece(static_cast<unsigned>(source.size()), pos2, cnt);
        if (self) s.insert(pos, s, pos2, cnt); else s.insert(pos, other, pos2, cnt);
        if (k) m.Splice(std::min(pos, length), 0, source.substr(pos2, k));
        return "insert(pos, str, pos2, n)";
      }
      case 7: {
        const unsigned k = Below(20);
        s.insert(pos, k, c);
        if (k) m.Splice(std::min(pos, length), 0, std::wstring(k, c));
        return "insert(pos, n, c)";
      }
      case 8:
      case 9:
        s.erase(pos, n);
        m.Erase(pos, n);
        return "erase(pos, n)";
      case 10:
      case 11: {
        const unsigned p = std::min(pos, length), k = std::min(n, length - p);
        const unsigned count = Piece(static_cast<unsigned>(source.size()), pos2, cnt);
        if (self) s.replace(pos, n, s, pos2, cnt); else s.replace(pos, n, other, pos2, cnt);
        m.Splice(p, k, source.substr(std::min<size_t>(pos2, source.size()), count));
        return "replace(pos, n, str, pos2, m)";
      }
      case 12: {
        const unsigned p = std::min(pos, length), k = std::min(n, length - p), r = Below(20);
        s.replace(pos, n, r, c);
        m.Splice(p, k, std::wstring(r, c));
        return "replace(pos, n, m, c)";
      }
      case 13: {
        const unsigned target = Below(50);
        s.resize(target, c);
        if (target > length) m.Splice(length, 0, std::wstring(target - length, c));
        else m.Erase(target, kNpos);
        return "resize";
      }
      case 14: {
        const unsigned target = Below(70);
        s.reserve(target);
        if (target > m.cap) m.Grow(target);
        return "reserve";
      }
      case 15: {
        const unsigned which = Below(3);
        const size_t last = m.text.find_last_not_of(L' ');
        if (which != 0) {  // RTrim part
          if (last == std::wstring::npos) m.Erase(0, kNpos); else m.Erase(unsigned(last) + 1, kNpos);
        }
        if (which != 1) m.Erase(0, ToOurs(m.text.find_first_not_of(L' ')));
        if (which == 0) s.LTrim(); else if (which == 1) s.RTrim(); else s.Trim();
        return "trim";
      }
      case 16: {
        const bool upper = Below(2);
        if (upper) s.UCase(); else s.LCase();
        for (auto& ch : m.text)
          if (ch < 128) ch = upper ? wchar_t(toupper(ch)) : wchar_t(tolower(ch));
        return "case";
      }
      default:
        Queries(s, m, w, pos, n);
        return "queries";
    }
  }

  void Queries(const JOVString& s, const Model& m, const std::wstring& w, unsigned pos, unsigned n) {
    const std::wstring needle = w.substr(0, Below(4));
    const unsigned nn = static_cast<unsigned>(needle.size());
    const wchar_t* p = needle.c_str();
    auto expect = [&](const char* what, unsigned got, unsigned want) {
      if (got != want && mismatch_.empty())
        mismatch_ = std::string(what) + " gave " + std::to_string(got) + ", expected " +
                    std::to_string(want) + " (pos " + std::to_string(pos) + ")";
    };
    expect("find", s.find(p, pos, nn), ToOurs(m.text.find(p, pos, nn)));
    expect("rfind", s.rfind(p, pos, nn), ToOurs(m.text.rfind(p, pos, nn)));
    expect("find_first_of", s.find_first_of(p, pos, nn), ToOurs(m.text.find_first_of(p, pos, nn)));
    expect("find_last_of", s.find_last_of(p, pos, nn), ToOurs(m.text.find_last_of(p, pos, nn)));
    expect("find_first_not_of", s.find_first_not_of(p, pos, nn),
           nn ? ToOurs(m.text.find_first_not_of(p, pos, nn)) : kNpos);
    expect("find_last_not_of", s.find_last_not_of(p, pos, nn),
           nn ? ToOurs(m.text.find_last_not_of(p, pos, nn)) : kNpos);
    const unsigned length = static_cast<unsigned>(m.text.size());
    const std::wstring piece = pos > length ? L"" : m.text.substr(pos, n);
    expect("compare", unsigned(s.compare(pos, n, p, nn)), unsigned(Sign(piece.compare(needle))));
    const JOVString sub = s.substr(pos, n);
    expect("substr", Text(sub) == piece ? 1u : 0u, 1u);
    expect("substr capacity", sub.capacity(), piece.empty() ? 0u : RoundUp16(unsigned(piece.size())));
  }

  std::mt19937 rng_;
  std::string mismatch_;
};

}  // namespace

TEST(StringDifferential, RandomSequencesMatchTheReferenceModel) {
  // The emulated 32-bit lane runs a tenth of the sequences.
  const int sequences = sizeof(void*) == 4 ? 2000 : 20000;
  Runner runner(kSeed);
  for (int i = 0; i < sequences; ++i) {
    const std::string failure = runner.Sequence(40);
    ASSERT_TRUE(failure.empty()) << "seed " << kSeed << ", sequence " << i << ": " << failure;
  }
}
