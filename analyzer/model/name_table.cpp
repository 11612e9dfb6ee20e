// name_table.cpp - interning of routine names in an open-addressing table.
#include "analyzer/model/name_table.h"

#include "analyzer/input/text_encoding.h"

namespace jov::analyzer {
namespace {

std::uint64_t Hash(std::string_view s) {
  std::uint64_t h = 1469598103934665603ULL;  // FNV-1a
  for (const char c : s) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ULL;
  }
  return h;
}

}  // namespace

NameTable::NameTable() : slots_(256) {
  raw_.emplace_back();
  texts_.emplace_back("(unknown)");
}

NameId NameTable::Intern(std::string_view name) {
  const std::uint64_t hash = Hash(name);
  std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (slot.id == kUnknownName) {
      const auto id = static_cast<NameId>(raw_.size());
      raw_.emplace_back(name);
      std::string text;
      AppendUtf8(text, name);
      texts_.push_back(std::move(text));
      slot.hash = hash;
      slot.id = id;
      if (2 * raw_.size() > slots_.size()) Grow();
      return id;
    }
    if (slot.hash == hash && raw_[slot.id] == name) return slot.id;
  }
}

void NameTable::Grow() {
  std::vector<Slot> old(slots_.size() * 2);
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.id == kUnknownName) continue;
    std::size_t i = slot.hash & mask;
    while (slots_[i].id != kUnknownName) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

}  // namespace jov::analyzer
