// User settings and command bars: what the module saves of the learner's
// Excel, how it arranges the toolbars for an exercise, and how it gives the
// settings back.
#include <algorithm>

#include "framework/remonte_erreur.h"
#include "module/module.h"

namespace r58267 {

namespace {

constexpr const char* kClasse = "Module";
// Only the first bars get their visibility back.
constexpr long kBarresRestaurees = 18;

}  // namespace

void Module::SaveParamUser() {
  try {
    msRepertoireUser = GetDir();
    const auto barres = Excel().CommandBars();
    const long n = barres->Count();
    mbBarresVisibles.assign(static_cast<std::size_t>(std::max(n, 0L)) + 1, false);
    for (long i = 1; i <= n; ++i) mbBarresVisibles[static_cast<std::size_t>(i)] = barres->Item(i)->Visible();
    mbInfoBulles = Excel().ShowToolTips();
    mlIndicateurCommentaire = static_cast<std::int32_t>(Excel().DisplayCommentIndicator());
    mbOptionVolet = Excel().ShowStartupDialog();
  } catch (...) {
    RemonteErreur(kClasse, "SaveParamUser", ErreurEnCours());
  }
}

void Module::RestaureParamUser() {
  try {
    ChangeDir(msRepertoireUser);
    const auto barres = Excel().CommandBars();
    const long dernier = std::min(kBarresRestaurees, static_cast<long>(mbBarresVisibles.size()) - 1);
    for (long i = 1; i <= dernier; ++i)
      barres->Item(i)->Visible(mbBarresVisibles[static_cast<std::size_t>(i)]);
    Excel().ShowToolTips(mbInfoBulles);
    Excel().ShowStartupDialog(mbOptionVolet);
  } catch (...) {
    RemonteErreur(kClasse, "RestaureParamUser", ErreurEnCours());
  }
}

void Module::InitCommandBar() {
  try {
    const auto barres = Excel().CommandBars();
    for (const char* nom : {"standard", "formatting"}) {
      // Hidden before docking, then shown again.
      const auto barre = barres->Item(nom);
      barre->Enabled(true);
      barre->Visible(false);
      barre->Position(excel::msoBarTop);
      barre->Visible(true);
    }
    const auto dessin = barres->Item("drawing");
    dessin->Enabled(true);
    if (dessin->Visible()) {
      dessin->Visible(false);
      dessin->Position(excel::msoBarBottom);
      dessin->Visible(true);
    }
    const auto volet = barres->Item("Task Pane");
    if (volet->Enabled()) {
      volet->Position(excel::msoBarRight);
      volet->Visible(mbVoletVisible);
    }
  } catch (...) {
    RemonteErreur(kClasse, "InitCommandBar", ErreurEnCours());
  }
}

}  // namespace r58267
