#include "questions/deux_classeurs.h"

#include <utility>

namespace r58267 {

QuestionDeuxClasseurs::QuestionDeuxClasseurs(std::string classe, const std::string& sourceAzur,
                                             const std::string& sourceSoledad)
    : Question(std::move(classe), kBanqueAzur) {
  Enregistre(sourceAzur, kBanqueAzur);
  Enregistre(sourceSoledad, kBanqueSoledad);
}

void QuestionDeuxClasseurs::OuvreClasseurs() {
  OuvreClasseur(kBanqueSoledad);
  ApresSoledad();
  OuvreClasseur(kBanqueAzur);
  ApresAzur();
}

}  // namespace r58267
