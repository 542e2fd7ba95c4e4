#include "questions/factory.h"

#include <algorithm>
#include <array>

#include "questions/question0701.h"
#include "questions/question0702.h"
#include "questions/question0703.h"
#include "questions/question0704.h"
#include "questions/question0705.h"
#include "questions/question0706.h"
#include "questions/question0707.h"
#include "questions/question0708.h"
#include "questions/question0709.h"
#include "questions/question0710.h"
#include "questions/question0711.h"
#include "questions/question0712.h"
#include "questions/question0713.h"
#include "questions/question0714.h"
#include "questions/question0715.h"
#include "questions/question0716.h"
#include "questions/question0717.h"
#include "questions/question0718.h"
#include "questions/question0719.h"

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
    Exercice<Question0701>(701), Exercice<Question0702>(702), Exercice<Question0703>(703),
    Exercice<Question0704>(704), Exercice<Question0705>(705), Exercice<Question0706>(706),
    Exercice<Question0707>(707), Exercice<Question0708>(708), Exercice<Question0709>(709),
    Exercice<Question0710>(710), Exercice<Question0711>(711), Exercice<Question0712>(712),
    Exercice<Question0713>(713), Exercice<Question0714>(714), Exercice<Question0715>(715),
    Exercice<Question0716>(716), Exercice<Question0717>(717), Exercice<Question0718>(718),
    Exercice<Question0719>(719),
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
