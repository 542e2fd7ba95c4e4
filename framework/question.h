// What every exercise class shares: its state, the registration of its
// working files, Prepare (open and activate the exercise workbook), Fermer,
// the read-only properties and the common frame of TestePoint.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "framework/excel.h"
#include "framework/listes.h"

namespace r58267 {

class Question {
 public:
  virtual ~Question() = default;
  Question(const Question&) = delete;
  Question& operator=(const Question&) = delete;

  // No object until the first TestePoint; a new, empty list after each.
  [[nodiscard]] std::shared_ptr<r58267::ComplementInfo> ComplementInfo() const { return mComplementInfo; }
  // The working files; a new, empty list when there is none (after Fermer).
  std::shared_ptr<r58267::FichiersDeTravail> FichiersDeTravail();
  [[nodiscard]] const std::string& PathDossierParDefaut() const { return msPathDossierParDefaut; }
  [[nodiscard]] bool BravoNuance() const { return mbBravoNuance; }
  [[nodiscard]] const std::string& CauseErreur() const { return msCauseErreur; }

  // Stores the folders and the Application, then opens and activates the
  // exercise's workbooks. `iApplication` is never replaced. A failure is
  // reported as "Prepare"; what was done before it stays done.
  void Prepare(std::shared_ptr<excel::Application>& iApplication, const std::string& isPathDossier,
               const std::optional<std::string>& isPathModele = std::nullopt);
  // Runs the exercise's check in a new ComplementInfo. Errors 13, 5 and 6
  // become the cause "AA"; any other error is reported as "TestePoint".
  // A passing check leaves CauseErreur as it was.
  void TestePoint();
  // Drops the Application and both lists; touches no workbook.
  virtual void Fermer();

  // "Question0705" …, the class name used in error sources.
  [[nodiscard]] const std::string& Classe() const { return msClasse; }

 protected:
  // `classeur` is the workbook that the common Prepare opens.
  Question(std::string classe, std::string classeur);

  // Registers one working file (creation only; Modele is always False).
  void Enregistre(const std::string& siNomSource, const std::string& siNomDest);

  // The exercise's tests, in their fixed order. A failing test calls Echec
  // and returns; errors left to propagate reach the common frame.
  virtual void Teste() = 0;
  // Opens and activates the workbooks once the folders and the Application
  // are stored; by default the class's workbook.
  virtual void OuvreClasseurs();

  // Opens `nom` from the working folder, every optional argument left out,
  // and activates it by name.
  void OuvreClasseur(const std::string& nom);

  // A failed test: writes its cause code.
  void Echec(std::string_view cause);
  // A test under an inner trap: a false result or any error raised while it
  // runs writes `cause`. Returns whether the test passed.
  bool Etape(std::string_view cause, const std::function<bool()>& test);
  void Bravo() { mbBravoNuance = true; }

  // The Application stored by Prepare; error 91 before Prepare or after
  // Fermer.
  excel::Application& Excel() const;
  [[nodiscard]] const std::string& Classeur() const { return msClasseur; }
  [[nodiscard]] const std::string& PathDossier() const { return msPathDossier; }

 private:
  void InitPathDossierParDefaut() { msPathDossierParDefaut = msPathDossier; }

  std::string msClasse;
  std::string msClasseur;
  std::shared_ptr<excel::Application> moApplication;
  std::shared_ptr<r58267::FichiersDeTravail> mFichiersDeTravail;
  std::string msCauseErreur;
  bool mbBravoNuance = false;
  std::string msPathDossier;
  std::string msPathModele;
  std::string msPathDossierParDefaut;
  std::shared_ptr<r58267::ComplementInfo> mComplementInfo;
};

// Activates sheet `feuille` of `classeur`, after activating `classeur`
// itself: Excel activates or selects a sheet only in the active workbook.
// The sheet is fetched first, so that a missing sheet changes nothing.
std::shared_ptr<excel::Worksheet> ActiveFeuille(excel::Workbook& classeur, const vb::Variant& feuille);

// Formula text as the checks compare it: every "+" and "$" removed and every
// "," turned into ";". Letter case is kept; spaces stay.
std::string NormaliseFormule(std::string_view formule);

}  // namespace r58267
