// Question 706: an array formula over B16:D18 of "Trimestre 2" whose nine
// results are fixed (the second quarter's figures raised by 5 %).
#pragma once

#include "framework/catalogue.h"
#include "framework/question.h"

namespace r58267 {

class Question0706 final : public Question {
 public:
  Question0706();
  // The task and the meaning of each cause code.
  static const Fiche& Causes();

 protected:
  void Teste() override;
};

}  // namespace r58267
