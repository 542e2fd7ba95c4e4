// The exercises that compare two loan offers: "Banque Azur.xls", the main
// workbook, and "Banque Soledad.xls", both delivered with the exercise and
// open together.
#pragma once

#include <string>

#include "framework/question.h"

namespace r58267 {

inline constexpr const char* kBanqueAzur = "Banque Azur.xls";
inline constexpr const char* kBanqueSoledad = "Banque Soledad.xls";

class QuestionDeuxClasseurs : public Question {
 protected:
  // Registers "Banque Azur.xls" then "Banque Soledad.xls" under the names
  // the course delivers them.
  QuestionDeuxClasseurs(std::string classe, const std::string& sourceAzur, const std::string& sourceSoledad);

  // Opens and activates "Banque Soledad.xls", then "Banque Azur.xls", which
  // stays the active workbook.
  void OuvreClasseurs() final;
  // What an exercise does once each workbook is open and active.
  virtual void ApresSoledad() {}
  virtual void ApresAzur() {}
};

}  // namespace r58267
