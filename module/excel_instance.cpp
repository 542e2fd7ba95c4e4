// Excel instance and windows: obtaining Excel, bringing its window to the
// front, probing whether it answers, and closing windows left open over it.
#include <set>

#include "framework/remonte_erreur.h"
#include "module/module.h"

namespace r58267 {

namespace {

constexpr const char* kClasse = "Module";
constexpr const char* kXlMain = "XLMAIN";
constexpr const char* kBulle = "MSOBALLOON";
constexpr int kLongueurTitre = 255;
// Bounds on closing a window tree: how deep, and how many close attempts
// per window, so that windows that survive their close message or keep
// spawning children cannot make the routine loop.
constexpr int kProfondeurMax = 32;
constexpr int kEssaisMax = 256;

}  // namespace

void Module::GetApplication() {
  const api::Hwnd fenetre = mPlatform->FindWindowA(kXlMain, std::nullopt);
  if (fenetre != 0 && mPlatform->IsWindowVisible(fenetre)) {
    try {
      moApplication = mPlatform->GetActiveObject(api::kExcelClass);
      Excel().Visible(true);
      mlHandleLogiciel = mPlatform->FindWindowA(kXlMain, std::nullopt);
      mPlatform->LockWindowUpdate(mlHandleLogiciel);
      return;
    } catch (...) {  // NOLINT(bugprone-empty-catch): attaching failed, start a new instance
    }
  }
  try {
    moApplication = mPlatform->CreateObject(api::kExcelClass);
    Excel().Visible(true);
    mlHandleLogiciel = mPlatform->FindWindowA(kXlMain, std::nullopt);
    mPlatform->LockWindowUpdate(mlHandleLogiciel);
  } catch (...) {
    moApplication.reset();
    RemonteErreur(kClasse, "GetApplication", ErreurEnCours());
  }
}

bool Module::AfficheExcel() {
  if (!mPlatform->IsWindowVisible(mlHandleLogiciel)) return false;
  if (mPlatform->FindWindowA(kXlMain, std::nullopt) == 0) return false;
  try {
    Excel().DisplayFullScreen(false);
  } catch (...) {  // NOLINT(bugprone-empty-catch): full-screen mode is a nicety
  }
  mPlatform->ShowWindow(mlHandleLogiciel, api::kShowMaximized);
  mPlatform->SetForegroundWindow(mlHandleLogiciel);
  return true;
}

bool Module::ExcelRepond(bool bSansEchap) {
  // Without its main window Excel may be in cell-edit mode: an Escape ends
  // it so that Excel takes automation calls again.
  if (mPlatform->FindWindowA(kXlMain, std::nullopt) == 0 && !bSansEchap) EnvoieEchap(mlHandleLogiciel);
  try {
    (void)Excel().Windows()->Count();
    return true;
  } catch (...) {
    return false;
  }
}

void Module::EnvoieEchap(api::Hwnd hwnd) {
  mPlatform->SetForegroundWindow(hwnd);
  mPlatform->SendEscape();
}

void Module::FermeDialogue(api::Hwnd hwnd) {
  try {
    api::Hwnd w = mPlatform->GetWindow(hwnd, api::kWindowAbove);
    while (w != 0) {
      const bool titree = !mPlatform->GetWindowTextA(w, kLongueurTitre).empty();
      const bool visible = mPlatform->IsWindowVisible(w);
      const bool modale = (mPlatform->GetWindowLongA(w, api::kExtendedStyle) & api::kModalFrame) != 0;
      const bool possedee = mPlatform->GetParent(w) == hwnd;
      if (titree && visible && modale && possedee) {
        FermeDialogue(w);
        mPlatform->SendMessageA(w, api::kCloseMessage, 0, 0);
        return;
      }
      w = mPlatform->GetWindow(w, api::kWindowAbove);
    }
  } catch (...) {  // NOLINT(bugprone-empty-catch): closing dialogs is best effort
  }
}

void Module::FermeFenetre(api::Hwnd hwnd, int profondeur) {
  try {
    if (profondeur < kProfondeurMax) {
      // Close the children first. A child that survives its close message
      // is stepped over: the search goes on after it.
      std::set<api::Hwnd> survivants;
      api::Hwnd apres = 0;
      api::Hwnd enfant = mPlatform->FindWindowExA(hwnd, 0, std::nullopt, std::nullopt);
      for (int essai = 0; enfant != 0 && essai < kEssaisMax; ++essai) {
        FermeFenetre(enfant, profondeur + 1);
        const api::Hwnd premier = mPlatform->FindWindowExA(hwnd, apres, std::nullopt, std::nullopt);
        if (premier == enfant) {
          survivants.insert(enfant);
          apres = enfant;
          enfant = mPlatform->FindWindowExA(hwnd, apres, std::nullopt, std::nullopt);
        } else {
          enfant = premier;
        }
        if (survivants.count(enfant) != 0) break;
      }
    }
    mPlatform->SendMessageA(hwnd, api::kCloseMessage, 0, 0);
  } catch (...) {  // NOLINT(bugprone-empty-catch): closing windows is best effort
  }
}

void Module::AttendFermetureBulle() {
  // The balloon goes once its close message has been handled; wait for
  // that, letting window messages run, for a bounded time.
  const auto limite = mPlatform->Now() + kAttenteBulle;
  while (mPlatform->FindWindowA(kBulle, std::nullopt) != 0 && mPlatform->Now() < limite) {
    mPlatform->PumpMessages();
    mPlatform->Sleep(std::chrono::milliseconds(10));
  }
}

}  // namespace r58267
