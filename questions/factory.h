// From a question number to a new exercise object.
#pragma once

#include <memory>

#include "framework/catalogue.h"
#include "framework/question.h"

namespace r58267 {

// The exercise object for 701 to 719 (Question07NN for 7NN); no object for
// any other number, nor for an exercise that this build does not have.
std::shared_ptr<Question> CreeQuestion(long ilQuestion);

// The task and cause codes of a question this build has; null otherwise.
const Fiche* FicheDeQuestion(long ilQuestion);

}  // namespace r58267
