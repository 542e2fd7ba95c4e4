// Question 715: on the protected sheet "réponses" of "Banque Azur.xls" the
// learner picks one of three option buttons; the second is right.
#pragma once

#include "framework/catalogue.h"
#include "framework/question.h"

namespace r58267 {

class Question0715 final : public Question {
 public:
  Question0715();
  // The task and the meaning of each cause code.
  static const Fiche& Causes();

 protected:
  void Teste() override;
};

}  // namespace r58267
