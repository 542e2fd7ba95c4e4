// Question 705: COUNTIF in B81 and SUMIF in B82 of "Trimestre 1", counting
// and summing the results of the city Liverpool.
#pragma once

#include "framework/catalogue.h"
#include "framework/question.h"

namespace r58267 {

class Question0705 final : public Question {
 public:
  Question0705();
  // The task and the meaning of each cause code.
  static const Fiche& Causes();

 protected:
  void Teste() override;
};

}  // namespace r58267
