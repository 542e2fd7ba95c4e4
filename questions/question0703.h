// Question 703: the answer given with the three check boxes of the
// protected sheet "trimestre 2": box 1 ticked, boxes 2 and 3 not.
#pragma once

#include "framework/catalogue.h"
#include "framework/question.h"

namespace r58267 {

class Question0703 final : public Question {
 public:
  Question0703();
  // The task and the meaning of each cause code.
  static const Fiche& Causes();

 protected:
  void Teste() override;
};

}  // namespace r58267
