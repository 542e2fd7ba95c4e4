// Host interface and question dispatch: the members of AbstractModule, the
// order of the set-up steps and the closing of an exercise.
#include "module/module.h"

#include <utility>

#include "framework/remonte_erreur.h"
#include "questions/factory.h"

namespace r58267 {

namespace {

constexpr const char* kClasse = "Module";
constexpr const char* kXlMain = "XLMAIN";
constexpr const char* kBulle = "MSOBALLOON";
constexpr const char* kDossierModele = "ORVA Modèles\\";

}  // namespace

Module::Module(std::shared_ptr<api::Platform> platform, FabriqueQuestion fabrique)
    : mPlatform(std::move(platform)),
      mFabrique(fabrique ? std::move(fabrique) : FabriqueQuestion(CreeQuestion)) {}

Module::~Module() {
  if (!moQuestion) return;
  try {
    moQuestion->Fermer();
  } catch (...) {  // NOLINT(bugprone-empty-catch): a destructor must not throw
  }
}

excel::Application& Module::Excel() const {
  if (!moApplication) vb::Raise(vb::kObjectNotSet);
  return *moApplication;
}

Question& Module::QuestionEnCours() const {
  if (!moQuestion) vb::Raise(vb::kObjectNotSet);
  return *moQuestion;
}

// ---- properties ----

bool Module::BravoNuance() { return QuestionEnCours().BravoNuance(); }

std::shared_ptr<ComplementInfo> Module::Complement() { return QuestionEnCours().ComplementInfo(); }

std::string Module::CauseErreur() {
  if (mbErreurGenerale) return msCauseErreur;
  return QuestionEnCours().CauseErreur();
}

// ---- InitQuestion ----

void Module::ObtientExcel(std::shared_ptr<excel::Application>& ioApplication, api::Hwnd& ioHandleLogiciel) {
  GetApplication();
  mbParamSauves = true;
  try {
    SaveParamUser();
  } catch (...) {
    // GetApplication locked drawing in Excel's window; InitQuestion's own
    // release is not set up yet on this path.
    mPlatform->LockWindowUpdate(0);
    throw;
  }
  ioApplication = moApplication;
  ioHandleLogiciel = mlHandleLogiciel;
}

void Module::CreeDossierModele() {
  // Excel may take a moment to show a folder created under its templates
  // path; wait for it, letting window messages run, but not for ever.
  const auto limite = mPlatform->Now() + kAttenteDossierModele;
  while (true) {
    mPlatform->MakeSureDirectoryPathExists(msPathModele);
    mPlatform->PumpMessages();
    if (mPlatform->DirectoryExists(msPathModele)) return;
    if (mPlatform->Now() >= limite) {
      vb::Raise(vb::kPathFileAccess,
                "Path/File access error: the template folder '" + msPathModele + "' cannot be created",
                std::string(vb::kRuntimeSource));
    }
    mPlatform->Sleep(std::chrono::milliseconds(50));
  }
}

bool Module::PrendExcel(std::shared_ptr<excel::Application>& ioApplication, api::Hwnd& ioHandleLogiciel) {
  if (!ioApplication) {
    ObtientExcel(ioApplication, ioHandleLogiciel);
    return true;
  }
  if (ioApplication != moApplication) mbParamSauves = false;
  moApplication = ioApplication;
  mlHandleLogiciel = ioHandleLogiciel;
  if (mPlatform->IsWindowVisible(mlHandleLogiciel)) return false;
  // The lent instance is not usable: quit it when it still answers, and
  // start over with one of our own.
  const api::Hwnd fenetre = mPlatform->FindWindowA(kXlMain, std::nullopt);
  const bool repond = ExcelRepond(false);
  if (fenetre != 0 && repond) {
    mPlatform->LockWindowUpdate(0);
    Excel().Quit();
  }
  ioApplication.reset();
  moApplication.reset();
  ObtientExcel(ioApplication, ioHandleLogiciel);
  return true;
}

void Module::InitQuestion(std::int32_t ilQuestion, const std::string& isPathDossier,
                          std::shared_ptr<excel::Application>& ioApplication, api::Hwnd& ioHandleLogiciel,
                          const std::optional<std::string>& /*isPathModele: the computed folder is used*/) {
  // GetApplication locks drawing in Excel's window while Excel is set up;
  // the lock goes when this call ends, whether it succeeds or fails, so
  // that Excel repaints during the exercise.
  struct Deverrouillage {
    api::Platform& platform;
    bool actif;
    ~Deverrouillage() {
      if (actif) platform.LockWindowUpdate(0);
    }
  };
  const Deverrouillage deverrouillage{*mPlatform, PrendExcel(ioApplication, ioHandleLogiciel)};

  FermeDialogue(mlHandleLogiciel);
  if (moQuestion) FermeQuestion();

  try {
    mlQuestion = ilQuestion;
    moQuestion = mFabrique(ilQuestion);
    msPathDossier = isPathDossier;
    msPathModele = Excel().TemplatesPath() + kDossierModele;
    CreeDossierModele();
  } catch (...) {
    RemonteErreur(kClasse, "InitQuestion", ErreurEnCours());
  }

  // Unguarded: these routines report their own errors.
  Nettoyage();
  Renomme();
  std::shared_ptr<excel::Application> application = moApplication;
  QuestionEnCours().Prepare(application, isPathDossier, msPathModele);
  moApplication = application;
  ChangeDir(QuestionEnCours().PathDossierParDefaut());
  InitCommandBar();
  Excel().ShowToolTips(true);
  Excel().DisplayCommentIndicator(excel::xlNoIndicator);
  if (mlQuestion != 717) Excel().ActiveWindow()->WindowState(excel::xlMaximized);

  try {
    if (Excel().Workbooks()->Count() == 0) {
      Excel().Workbooks()->Add();
      Excel().ShowStartupDialog(true);
      Excel().CommandBars()->Item("Task Pane")->Enabled(true);
      if (Excel().CommandBars()->Item("Task Pane")->Enabled()) {
        Excel().CommandBars()->Item("Task Pane")->Position(excel::msoBarRight);
        Excel().CommandBars()->Item("Task pane")->Visible(true);
      }
    }
    AfficheExcel();
    Excel().Workbooks()->Item(QuestionEnCours().FichiersDeTravail()->Item(1).NomDest)->Activate();
  } catch (...) {
    RemonteErreur(kClasse, "InitQuestion", ErreurEnCours());
  }
}

// ---- TestePoint ----

void Module::TestePoint() {
  if (!AfficheExcel()) {
    mbErreurGenerale = true;
    msCauseErreur = "AM";  // AM: Excel's main window is gone
    return;
  }
  if (!ExcelRepond(true)) {
    mbErreurGenerale = true;
    msCauseErreur = "%AL";  // %AL: Excel does not answer
    return;
  }
  mbErreurGenerale = false;
  try {
    if (!ControleClasseur()) {
      mbErreurGenerale = true;
      return;
    }
  } catch (...) {
    mbErreurGenerale = true;
    msCauseErreur = "AN";  // AN: the workbook check was interrupted
    return;
  }
  QuestionEnCours().TestePoint();
  if (QuestionEnCours().CauseErreur() == "AA") {
    mbErreurGenerale = true;
    msCauseErreur = "AA";  // AA: the exercise's check was interrupted
  } else {
    mbErreurGenerale = false;
  }
}

// ---- closing ----

void Module::Fermer() { FermeQuestion(); }

void Module::FermeQuestion() {
  if (mPlatform->FindWindowA(kBulle, std::nullopt) != 0) {
    FermeFenetre(mPlatform->FindWindowA(kBulle, std::nullopt));
    AttendFermetureBulle();
  }
  FermeDialogue(mlHandleLogiciel);
  if (ExcelRepond(false)) {
    Nettoyage();
    Excel().DisplayCommentIndicator(mlIndicateurCommentaire);
  }
  // From here every failing step is skipped, so that the exercise is always
  // released.
  try {
    mbVoletVisible = Excel().CommandBars()->Item("Task Pane")->Visible();
  } catch (...) {  // NOLINT(bugprone-empty-catch)
  }
  try {
    if (moQuestion) moQuestion->Fermer();
  } catch (...) {  // NOLINT(bugprone-empty-catch)
  }
  moQuestion.reset();
}

void Module::Quitter(std::shared_ptr<excel::Application>& ioApplication, api::Hwnd& ioHandleLogiciel) {
  try {
    if (moQuestion) FermeQuestion();
    if (ioApplication && ioApplication == moApplication && mbParamSauves) {
      RestaureParamUser();
      if (Excel().Workbooks()->Count() == 0) {
        Excel().Quit();
      } else {
        mPlatform->ShowWindow(mlHandleLogiciel, api::kShowMinimized);
      }
      ioHandleLogiciel = 0;
      ioApplication.reset();
    }
    moApplication.reset();
  } catch (...) {
    RemonteErreur(kClasse, "Quitter", ErreurEnCours());
  }
}

}  // namespace r58267
