// Workbook presence and structure check: before an exercise's own check,
// its workbook must be open and active, its sheets named and ordered as the
// course made them, with their marker comments and drawing objects.
#include <string>
#include <vector>

#include "module/module.h"
#include "module/structure.h"

namespace r58267 {

namespace {

constexpr const char* kMarqueur = "Ne pas supprimer ce commentaire. Merci !";

using Type = Controle::Type;

}  // namespace

bool Module::ControleClasseur() {
  const std::string nom = QuestionEnCours().FichiersDeTravail()->Item(1).NomDest;
  const std::string nomMinuscule = vb::LCase(nom);

  const auto classeurs = Excel().Workbooks();
  bool ouvert = false;
  const long nClasseurs = classeurs->Count();
  for (long i = 1; i <= nClasseurs && !ouvert; ++i)
    ouvert = vb::LCase(classeurs->Item(i)->Name()) == nomMinuscule;
  if (!ouvert) {
    msCauseErreur = "C";  // C: the exercise's workbook is not open
    return false;
  }
  if (vb::LCase(Excel().ActiveWorkbook()->Name()) != nomMinuscule) {
    msCauseErreur = "A";  // A: the exercise's workbook is not the active one
    return false;
  }

  // Nothing changes the workbook during the check: read its sheet names
  // once, in index order.
  const auto feuilles = classeurs->Item(nom)->Sheets();
  std::vector<std::string> noms;
  const long nFeuilles = feuilles->Count();
  for (long i = 1; i <= nFeuilles; ++i) noms.push_back(vb::LCase(feuilles->Item(i)->Name()));
  const auto premiere = [&](const std::string& x) -> long {
    for (std::size_t i = 0; i < noms.size(); ++i) {
      if (noms[i] == x) return static_cast<long>(i) + 1;
    }
    return 0;
  };

  for (const Controle& controle : ControlesDeLaQuestion(mlQuestion)) {
    bool ok = true;
    switch (controle.type) {
      case Type::Presente:
        ok = premiere(controle.texte) != 0;
        break;
      case Type::Position:
        // A position past the last sheet raises Excel's own error.
        if (controle.position > nFeuilles) (void)feuilles->Item(controle.position);
        ok = controle.position <= nFeuilles &&
             noms[static_cast<std::size_t>(controle.position) - 1] == controle.texte;
        break;
      case Type::Commentaire:
      case Type::CommentaireProtege:
        ok = feuilles->Item(controle.position)->Range(controle.texte)->NoteText() == kMarqueur;
        break;
      case Type::Formes:
        ok = feuilles->Item(controle.position)->Shapes()->Count() == controle.formes;
        break;
      case Type::FormesTrouvee:
        ok = feuilles->Item(premiere(controle.texte))->Shapes()->Count() == controle.formes;
        break;
    }
    if (!ok) {
      msCauseErreur = controle.code;
      if (controle.type == Type::CommentaireProtege) feuilles->Item(1)->Protect();
      return false;
    }
  }
  return true;
}

}  // namespace r58267
