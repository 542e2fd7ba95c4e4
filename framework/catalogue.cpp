#include "framework/catalogue.h"

namespace r58267 {

std::string SensDe(const Fiche& fiche, const std::string& code) {
  for (const auto& cause : fiche.causes) {
    if (cause.code == code) return cause.sens;
  }
  return {};
}

}  // namespace r58267
