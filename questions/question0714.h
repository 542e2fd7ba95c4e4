// Question 714: cell C3 of the sheet "emprunt" of "Banque Azur.xls" made to
// reach 9080.53 (by goal seek); only the value is looked at.
#pragma once

#include "framework/catalogue.h"
#include "framework/question.h"

namespace r58267 {

class Question0714 final : public Question {
 public:
  Question0714();
  // The task and the meaning of each cause code.
  static const Fiche& Causes();

 protected:
  void Teste() override;
};

}  // namespace r58267
