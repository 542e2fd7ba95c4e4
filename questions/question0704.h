// Question 704: in E33:E77 of "Trimestre 1", an IF with OR that shows
// "contact : lucien" for the rows of Sevilla and Liverpool.
#pragma once

#include "framework/catalogue.h"
#include "framework/question.h"

namespace r58267 {

class Question0704 final : public Question {
 public:
  Question0704();
  // The task and the meaning of each cause code.
  static const Fiche& Causes();

 protected:
  void Teste() override;
};

}  // namespace r58267
