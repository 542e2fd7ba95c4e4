// Question 702: a second data field, the maximum of the results, added to
// the pivot table of question 701 on "Ondine".
#pragma once

#include "framework/catalogue.h"
#include "framework/question.h"

namespace r58267 {

class Question0702 final : public Question {
 public:
  Question0702();
  // The task and the meaning of each cause code.
  static const Fiche& Causes();

 protected:
  void Teste() override;
};

}  // namespace r58267
