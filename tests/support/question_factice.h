// An exercise object whose working files, preparation and check a test
// chooses, to drive the host module through situations that the chapter's
// exercises do not produce on demand.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "framework/question.h"

namespace test_support {

class QuestionFactice : public r58267::Question {
 public:
  // Registers `fichiers` (NomSource, NomDest) in order; the first NomDest
  // is the workbook that Prepare opens, unless `ouvre` is false.
  QuestionFactice(long numero, std::vector<std::pair<std::string, std::string>> fichiers, bool ouvre = true)
      : Question("Question0" + std::to_string(numero), fichiers.front().second), ouvre_(ouvre) {
    for (const auto& [source, dest] : fichiers) Enregistre(source, dest);
  }

  // The check: runs `teste` with access to the Application and the cause.
  std::function<void(QuestionFactice&)> teste;
  int fermetures = 0;

  void Cause(const std::string& cause) { Echec(cause); }
  excel::Application& Application() { return Excel(); }
  void Fermer() override {
    ++fermetures;
    Question::Fermer();
  }

 protected:
  void Teste() override {
    if (teste) teste(*this);
  }
  void OuvreClasseurs() override {
    if (ouvre_) Question::OuvreClasseurs();
  }

 private:
  bool ouvre_;
};

}  // namespace test_support
