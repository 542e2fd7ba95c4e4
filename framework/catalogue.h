// What each exercise asks and what each of its cause codes means, in one
// English sentence each: the catalog behind the command line's --explain
// and the page of codes for the people who write the host's messages.
#pragma once

#include <string>
#include <vector>

namespace r58267 {

struct Cause {
  std::string code;
  std::string sens;  // one English sentence
};

struct Fiche {
  long question = 0;
  std::string tache;  // the task, in one line
  std::vector<Cause> causes;
};

// The sentence of `code` in `fiche`; empty when the code is not listed.
std::string SensDe(const Fiche& fiche, const std::string& code);

}  // namespace r58267
