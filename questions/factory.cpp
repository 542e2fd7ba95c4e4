#include "questions/factory.h"

#include <algorithm>
#include <array>

#include "questions/question0705.h"

namespace r58267 {

namespace {

struct Entree {
  long numero;
  std::shared_ptr<Question> (*cree)();
  const Fiche& (*fiche)();
};

template <typename Q>
constexpr Entree Exercice(long numero) {
  return {numero, [] { return std::shared_ptr<Question>(std::make_shared<Q>()); }, &Q::Causes};
}

// The exercises this build has, one line each.
constexpr std::array kExercices = {
    Exercice<Question0705>(705),
};

const Entree* Trouve(long ilQuestion) {
  const auto it = std::find_if(kExercices.begin(), kExercices.end(),
                               [ilQuestion](const Entree& entree) { return entree.numero == ilQuestion; });
  return it == kExercices.end() ? nullptr : &*it;
}

}  // namespace

std::shared_ptr<Question> CreeQuestion(long ilQuestion) {
  const Entree* entree = Trouve(ilQuestion);
  return entree == nullptr ? nullptr : entree->cree();
}

const Fiche* FicheDeQuestion(long ilQuestion) {
  const Entree* entree = Trouve(ilQuestion);
  return entree == nullptr ? nullptr : &entree->fiche();
}

}  // namespace r58267
