#include "framework/remonte_erreur.h"

#include <exception>
#include <new>

namespace r58267 {

namespace {
constexpr long kInternalError = 51;
}  // namespace

std::string SourceComposee(std::string_view isClasse, std::string_view isService, std::string_view isObjet) {
  std::string source = "DLL R58267 - CLASSE ";
  source += isClasse;
  source += "\n\r - SERVICE ";
  source += isService;
  source += " - OBJET ";
  source += isObjet;
  return source;
}

void RemonteErreur(std::string_view isClasse, std::string_view isService, const vb::Error& pending) {
  throw vb::Error(pending.number, pending.description, SourceComposee(isClasse, isService, pending.source));
}

vb::Error ErreurEnCours() {
  try {
    throw;
  } catch (const vb::Error& error) {
    return error;
  } catch (const std::bad_alloc&) {
    return {vb::kOutOfMemory, vb::DefaultDescription(vb::kOutOfMemory), std::string(vb::kRuntimeSource)};
  } catch (const std::exception& error) {
    return {kInternalError, std::string("Internal error: ") + error.what(), std::string(vb::kRuntimeSource)};
  } catch (...) {
    return {kInternalError, "Internal error", std::string(vb::kRuntimeSource)};
  }
}

}  // namespace r58267
