#include "module/structure.h"

namespace r58267 {

namespace {

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

}  // namespace

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

}  // namespace r58267
