// The two lists every exercise object owns: its working files and the
// complementary text lines of its last check. Both keep their elements at
// indices 1 to count, with an empty element at index 0 once something has
// been added, as the host reads them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/vb.h"

namespace r58267 {

// One working file: delivered as NomSource, renamed to and worked on as
// NomDest, in the template folder when Modele is set.
struct Fichier {
  std::string NomSource;
  std::string NomDest;
  bool Modele = false;

  bool operator==(const Fichier&) const = default;
};

class FichiersDeTravail {
 public:
  // Appends an entry; error 6 when the count would pass 2147483647.
  void add(const std::string& siNomSource, const std::string& siNomDest, bool biModele);
  [[nodiscard]] std::int32_t count() const { return count_; }
  // A copy of entry `noItem`; error 9 outside 0 to count or before any add.
  [[nodiscard]] Fichier Item(std::int32_t noItem) const;

 private:
  std::int32_t count_ = 0;
  std::vector<Fichier> items_;  // empty until the first add, then 0..count
};

// Implements the host's complementary-information list.
class ComplementInfo {
 public:
  // The second argument belongs to the host's interface; this list does not
  // use it.
  void add(const std::string& soChaine, const vb::Variant& unused = {});
  [[nodiscard]] std::int32_t count() const { return count_; }
  // Error 9 outside 0 to count or before any add.
  [[nodiscard]] std::string item(std::int32_t index) const;

 private:
  std::int32_t count_ = 0;
  std::vector<std::string> lines_;
};

}  // namespace r58267
