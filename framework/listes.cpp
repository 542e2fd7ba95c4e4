#include "framework/listes.h"

#include <limits>

namespace r58267 {

namespace {

// Grows a 0-based array to hold index `count`, creating element 0 on the
// first addition, and returns the new count; error 6 past the 32-bit range.
template <typename T>
std::int32_t Ajoute(std::vector<T>& items, std::int32_t count, T element) {
  if (count == std::numeric_limits<std::int32_t>::max()) vb::Raise(vb::kOverflow);
  if (items.empty()) items.emplace_back();
  items.push_back(std::move(element));
  return count + 1;
}

template <typename T>
const T& Element(const std::vector<T>& items, std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= items.size()) vb::Raise(vb::kSubscriptOutOfRange);
  return items[static_cast<std::size_t>(index)];
}

}  // namespace

void FichiersDeTravail::add(const std::string& siNomSource, const std::string& siNomDest, bool biModele) {
  count_ = Ajoute(items_, count_, Fichier{siNomSource, siNomDest, biModele});
}

Fichier FichiersDeTravail::Item(std::int32_t noItem) const { return Element(items_, noItem); }

void ComplementInfo::add(const std::string& soChaine, const vb::Variant& /*unused*/) {
  count_ = Ajoute(lines_, count_, soChaine);
}

std::string ComplementInfo::item(std::int32_t index) const { return Element(lines_, index); }

}  // namespace r58267
