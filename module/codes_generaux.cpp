#include "module/codes_generaux.h"

#include <algorithm>
#include <string>

#include "module/structure.h"

namespace r58267 {

namespace {

std::string PhraseDuControle(const Controle& controle) {
  const std::string feuille = std::string("Sheet \"") + controle.texte + "\"";
  switch (controle.type) {
    case Controle::Type::Presente:
      return feuille + " is missing from the workbook.";
    case Controle::Type::Position:
      return feuille + " is missing or not in position " + std::to_string(controle.position) + ".";
    default:
      return "A marker comment is missing or changed, or a sheet has the wrong number of drawing objects.";
  }
}

}  // namespace

Fiche CodesGeneraux(std::int32_t question) {
  Fiche fiche;
  fiche.question = question;
  fiche.tache = "General errors of the module (ErreurGenerale is True).";
  fiche.causes = {
      {"AM", "Excel's main window is not there: the learner closed Excel or its window is hidden."},
      {"%AL", "Excel does not answer automation calls."},
      {"C", "The exercise's workbook is not open."},
      {"A", "The exercise's workbook is not the active workbook."},
  };
  for (const Controle& controle : ControlesDeLaQuestion(question)) {
    const bool connu = std::any_of(fiche.causes.begin(), fiche.causes.end(),
                                   [&](const Cause& cause) { return cause.code == controle.code; });
    // A sheet's code covers both of its steps: say the fuller one.
    if (connu && controle.type == Controle::Type::Position) {
      for (auto& cause : fiche.causes) {
        if (cause.code == controle.code && cause.sens.find("is missing from") != std::string::npos) {
          cause.sens = PhraseDuControle(controle);
        }
      }
    } else if (!connu) {
      fiche.causes.push_back({controle.code, PhraseDuControle(controle)});
    }
  }
  if (question == 717 || question == 718) {
    for (auto& cause : fiche.causes) {
      if (cause.code == "D")
        cause.sens += " A missing comment on \"emprunt\" also leaves the first sheet protected.";
    }
  }
  fiche.causes.push_back({"AN", "An error interrupted the check of the workbook's structure."});
  fiche.causes.push_back(
      {"AA",
       "The exercise's check was interrupted by a type, argument or overflow error in the learner's work."});
  return fiche;
}

}  // namespace r58267
