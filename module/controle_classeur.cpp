// Workbook presence and structure check: before an exercise's own check,
// its workbook must be open and active, its sheets named and ordered as the
// course made them, with their marker comments and drawing objects.
#include <string>
#include <vector>

#include "module/module.h"

namespace r58267 {

namespace {

constexpr const char* kMarqueur = "Ne pas supprimer ce commentaire. Merci !";

// One step of the structure check of a question.
struct Controle {
  enum class Type {
    Presente,            // a sheet of that name exists
    Position,            // the sheet at that position has that name
    Commentaire,         // the marker comment in a cell of the sheet at that position
    CommentaireProtege,  // the same; on failure sheet 1 is protected
    Formes,              // the sheet at that position has that many shapes
    FormesTrouvee,       // the first sheet of that name has that many shapes
  };
  Type type;
  const char* texte;  // sheet name (lower case) or cell address
  long position = 0;  // 1-based position of the sheet
  long formes = 0;    // expected number of shapes
  const char* code = "D";
};

using Type = Controle::Type;

// "name at position k, code L": present, then at its position.
void FeuilleA(std::vector<Controle>& c, const char* nom, long position, const char* code) {
  c.push_back({Type::Presente, nom, 0, 0, code});
  c.push_back({Type::Position, nom, position, 0, code});
}

void Commentaire(std::vector<Controle>& c, const char* cellule, long position) {
  c.push_back({Type::Commentaire, cellule, position});
}

std::vector<Controle> ControlesTrimestres() {
  std::vector<Controle> c;
  FeuilleA(c, "trimestre 1", 1, "B");
  Commentaire(c, "K83", 1);
  FeuilleA(c, "trimestre 2", 2, "E");
  Commentaire(c, "F13", 2);
  return c;
}

std::vector<Controle> ControlesSemestres(bool commentaireAnnee) {
  std::vector<Controle> c = ControlesTrimestres();
  FeuilleA(c, "semestre 1", 3, "R");
  Commentaire(c, "D11", 3);
  FeuilleA(c, "semestre 2", 4, "T");
  Commentaire(c, "C6", 4);
  FeuilleA(c, "année", 5, "U");
  if (commentaireAnnee) Commentaire(c, "D11", 5);
  FeuilleA(c, "ondine", 6, "S");
  Commentaire(c, "G19", 6);
  return c;
}

std::vector<Controle> ControlesScenarios(bool formes) {
  std::vector<Controle> c;
  FeuilleA(c, "synthèse de scénarios", 1, "H");
  FeuilleA(c, "emprunt", 2, "G");
  c.push_back({Type::CommentaireProtege, "F10", 2});
  if (formes) c.push_back({Type::Formes, "", 2, 5});
  return c;
}

std::vector<Controle> ControlesDeLaQuestion(std::int32_t question) {
  std::vector<Controle> c;
  switch (question) {
    case 701:
    case 702:
    case 704:
    case 705:
    case 706:
    case 707:
    case 708:
      c = ControlesTrimestres();
      FeuilleA(c, "ondine", 3, "P");
      Commentaire(c, "G19", 3);
      break;
    case 703:
      c = ControlesTrimestres();
      c.push_back({Type::Formes, "", 2, 5});
      c.push_back({Type::Presente, "ondine", 0, 0, "I"});
      break;
    case 709:
      c = ControlesTrimestres();
      FeuilleA(c, "semestre 1", 3, "R");
      Commentaire(c, "D11", 3);
      FeuilleA(c, "ondine", 4, "Q");
      Commentaire(c, "G19", 4);
      break;
    case 710:
      c = ControlesSemestres(false);
      break;
    case 711:
      c = ControlesSemestres(true);
      break;
    case 712:
    case 713:
      FeuilleA(c, "remboursements", 1, "V");
      Commentaire(c, "J18", 1);
      break;
    case 714:
      FeuilleA(c, "emprunt", 1, "G");
      Commentaire(c, "F10", 1);
      break;
    case 715:
      FeuilleA(c, "emprunt", 1, "G");
      Commentaire(c, "F10", 1);
      c.push_back({Type::Presente, "réponses", 0, 0, "J"});
      c.push_back({Type::FormesTrouvee, "réponses", 0, 5});
      c.push_back({Type::Position, "réponses", 2, 0, "J"});
      break;
    case 716:
      c.push_back({Type::Presente, "emprunt", 0, 0, "G"});
      c.push_back({Type::Presente, "réponses", 0, 0, "J"});
      c.push_back({Type::FormesTrouvee, "réponses", 0, 5});
      break;
    case 717:
      c = ControlesScenarios(true);
      break;
    case 718:
      c = ControlesScenarios(false);
      break;
    case 719:
      FeuilleA(c, "prévisions", 1, "F");
      Commentaire(c, "F10", 1);
      FeuilleA(c, "réponses", 2, "J");
      c.push_back({Type::Formes, "", 2, 4});
      break;
    default:
      break;
  }
  return c;
}

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
