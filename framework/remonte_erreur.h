// The error reporter: an operation's error trap hands it the error it does
// not turn into a cause code, and the caller receives the same number and
// description with a source text that names every level it crossed.
#pragma once

#include <string>
#include <string_view>

#include "framework/vb.h"

namespace r58267 {

// "DLL R58267 - CLASSE " + classe + LF CR + " - SERVICE " + service +
// " - OBJET " + objet. The line feed comes before the carriage return.
std::string SourceComposee(std::string_view isClasse, std::string_view isService, std::string_view isObjet);

// Raises `pending` again with the same number and description and the
// composed source (its own source becomes the " - OBJET " part).
[[noreturn]] void RemonteErreur(std::string_view isClasse, std::string_view isService,
                                const vb::Error& pending);

// The error being handled, as a vb::Error: itself when it is one, error 7
// for memory running out, error 51 (internal error) for anything else.
// Call it only inside a catch block.
vb::Error ErreurEnCours();

}  // namespace r58267
