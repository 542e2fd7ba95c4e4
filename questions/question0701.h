// Question 701: a pivot table on "Ondine" from A32:D77 of "Trimestre 1",
// with the cities in rows, the months in columns and the sum of the results.
#pragma once

#include "framework/catalogue.h"
#include "framework/question.h"

namespace r58267 {

class Question0701 final : public Question {
 public:
  Question0701();
  // The task and the meaning of each cause code.
  static const Fiche& Causes();

 protected:
  void Teste() override;
};

}  // namespace r58267
