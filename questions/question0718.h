// Question 718: the sheet "emprunt" of the active workbook ("Banque
// Azur.xls") must hold five what-if scenarios, one of them named "Nouvelle
// proposition de ma banque", the fifth created by Editions ORVA with the
// rate 6 %.
#pragma once

#include "framework/catalogue.h"
#include "questions/deux_classeurs.h"

namespace r58267 {

class Question0718 final : public QuestionDeuxClasseurs {
 public:
  Question0718();
  // The task and the meaning of each cause code.
  static const Fiche& Causes();

 protected:
  void Teste() override;
};

}  // namespace r58267
