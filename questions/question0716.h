// Question 716: "Banque Azur.xls" opened with three scenarios on the rate of
// the first worksheet; the learner compares them and answers on the
// protected sheet "réponses" with one of three option buttons; the third is
// right.
#pragma once

#include "framework/catalogue.h"
#include "framework/question.h"

namespace r58267 {

class Question0716 final : public Question {
 public:
  Question0716();
  // The task and the meaning of each cause code.
  static const Fiche& Causes();

 protected:
  void Teste() override;
  // Opens the workbook, then adds the scenarios "Banque A" to "Banque C".
  void OuvreClasseurs() override;
};

}  // namespace r58267
