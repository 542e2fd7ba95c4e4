// Module: the object the host creates. It owns the Excel instance, the
// exercise in progress, the learner's saved Excel settings and the outcome
// of the last correction, and drives everything through the members of the
// host's AbstractModule interface.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/api.h"
#include "framework/excel.h"
#include "framework/question.h"

namespace r58267 {

// Makes the exercise object of a question number; none for an unknown one.
using FabriqueQuestion = std::function<std::shared_ptr<Question>(long ilQuestion)>;

class Module {
 public:
  // `fabrique` defaults to the chapter's exercises.
  explicit Module(std::shared_ptr<api::Platform> platform, FabriqueQuestion fabrique = {});
  // Closes a held exercise (its Fermer); nothing else is closed or restored.
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  // ---- AbstractModule ----
  // The exercise's BravoNuance; error 91 without an exercise.
  bool BravoNuance();
  // The exercise's ComplementInfo; error 91 without an exercise.
  std::shared_ptr<r58267::ComplementInfo> Complement();
  // The module's code after a general error, else the exercise's cause.
  std::string CauseErreur();
  [[nodiscard]] bool ErreurGenerale() const { return mbErreurGenerale; }
  void Fermer();
  void InitQuestion(std::int32_t ilQuestion, const std::string& isPathDossier,
                    std::shared_ptr<excel::Application>& ioApplication, api::Hwnd& ioHandleLogiciel,
                    const std::optional<std::string>& isPathModele = std::nullopt);
  void Quitter(std::shared_ptr<excel::Application>& ioApplication, api::Hwnd& ioHandleLogiciel);
  void TestePoint();

  // ---- state read by tests and the command-line host ----
  [[nodiscard]] bool ParamSauves() const { return mbParamSauves; }
  [[nodiscard]] const std::string& PathModele() const { return msPathModele; }
  [[nodiscard]] bool HasQuestion() const { return moQuestion != nullptr; }

  // Longest wait for the template folder to appear, and for the assistant's
  // balloon to go after its close message.
  static constexpr std::chrono::milliseconds kAttenteDossierModele{3000};
  static constexpr std::chrono::milliseconds kAttenteBulle{500};

 private:
  // Host interface and dispatch (module.cpp)
  void FermeQuestion();
  void ObtientExcel(std::shared_ptr<excel::Application>& ioApplication, api::Hwnd& ioHandleLogiciel);
  // Step 1 of InitQuestion: takes the host's Excel or obtains one; true
  // when the module obtained it (and so locked its window's drawing).
  bool PrendExcel(std::shared_ptr<excel::Application>& ioApplication, api::Hwnd& ioHandleLogiciel);
  void CreeDossierModele();
  // The held Excel and exercise; error 91 when there is none, as VB raises
  // on a member of Nothing.
  excel::Application& Excel() const;
  Question& QuestionEnCours() const;

  // Excel instance and windows (excel_instance.cpp)
  void GetApplication();
  bool AfficheExcel();
  bool ExcelRepond(bool bSansEchap);
  void EnvoieEchap(api::Hwnd hwnd);
  void FermeDialogue(api::Hwnd hwnd);
  void FermeFenetre(api::Hwnd hwnd, int profondeur = 0);
  void AttendFermetureBulle();

  // User settings and command bars (parametres.cpp)
  void SaveParamUser();
  void RestaureParamUser();
  void InitCommandBar();

  // Working folder and files (dossier.cpp)
  void Nettoyage();
  void Renomme();
  void ChangeDir(const std::string& dossier);
  std::string GetDir();

  // Workbook presence and structure check (controle_classeur.cpp)
  bool ControleClasseur();

  std::shared_ptr<api::Platform> mPlatform;
  FabriqueQuestion mFabrique;

  std::shared_ptr<excel::Application> moApplication;
  std::shared_ptr<Question> moQuestion;
  std::string msCauseErreur;
  bool mbErreurGenerale = false;
  api::Hwnd mlHandleLogiciel = 0;
  std::string msPathDossier;
  std::string msPathModele;
  std::int32_t mlQuestion = 0;
  bool mbParamSauves = false;
  std::string msRepertoireUser;
  std::vector<bool> mbBarresVisibles;
  bool mbInfoBulles = false;
  std::int32_t mlIndicateurCommentaire = 0;
  bool mbOptionVolet = false;
  bool mbVoletVisible = false;
};

}  // namespace r58267
