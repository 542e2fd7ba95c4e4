// Question 717: "Banque Azur.xls" and "Banque Soledad.xls" side by side; the
// learner ticks the check box of the better offer on the protected sheet
// "emprunt" of "Banque Azur.xls".
#pragma once

#include "framework/catalogue.h"
#include "questions/deux_classeurs.h"

namespace r58267 {

class Question0717 final : public QuestionDeuxClasseurs {
 public:
  Question0717();
  // The task and the meaning of each cause code.
  static const Fiche& Causes();

 protected:
  void Teste() override;
  void ApresSoledad() override;
  void ApresAzur() override;
};

}  // namespace r58267
