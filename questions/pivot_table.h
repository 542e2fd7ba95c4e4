// The learner's pivot table on the sheet "Ondine": the procedure that the
// pivot-table exercises share.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/catalogue.h"
#include "framework/excel.h"

namespace r58267 {

// Activates `classeur`, then its sheet "Ondine" (errors there are the
// caller's), then checks the first pivot table of the active sheet: its
// source range A32:D77 of "Trimestre 1" in either notation ("C"), "Villes"
// as first row field ("D"), "Mois" as first column field ("E"), and the sum
// ("F") of "Résultats" ("G") as first data field. Any error while reading
// the pivot table gives "B". Returns the cause, empty when everything matches; then
// `tableau` holds the pivot table for further checks.
std::string ControleTableauCroise(excel::Application& excel, const std::string& classeur,
                                  std::shared_ptr<excel::PivotTable>& tableau);

// The meaning of the causes "B" to "G" of that check.
std::vector<Cause> CausesTableauCroise();

}  // namespace r58267
