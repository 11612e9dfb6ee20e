// name_table.cpp - interning of routine names in an open-addressing table.
#include "analyzer/model/name_table.h"

namespace jov::analyzer {

NameTable::NameTable() : slots_(256) { texts_.emplace_back("(unknown)"); }

NameId NameTable::Add(std::string_view name, std::uint64_t hash, std::size_t at) {
  const auto id = static_cast<NameId>(texts_.size());
  const std::string& text = texts_.emplace_back(name);
  Slot& slot = slots_[at];
  slot.hash = hash;
  slot.text = text.data();
  slot.size = static_cast<std::uint32_t>(text.size());
  slot.id = id;
  if (2 * texts_.size() > slots_.size()) Grow();
  return id;
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
