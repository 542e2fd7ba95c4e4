// Question 711: sort the table of the active sheet (records from row 33,
// columns A to E), look up the date of H33's code in I33 with VLOOKUP and
// show it as the month's name.
#pragma once

#include "framework/catalogue.h"
#include "framework/question.h"

namespace r58267 {

class Question0711 final : public Question {
 public:
  Question0711();
  // The task and the meaning of each cause code.
  static const Fiche& Causes();

 protected:
  void Teste() override;
};

}  // namespace r58267
