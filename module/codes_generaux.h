// The module's own outcome codes, with one English sentence each: the
// general errors of TestePoint and the codes of the workbook structure
// check, which depend on the question.
#pragma once

#include <cstdint>

#include "framework/catalogue.h"

namespace r58267 {

// Every general code that TestePoint can give for `question`, in the order
// the checks run; generated from the same table as the structure check.
Fiche CodesGeneraux(std::int32_t question);

}  // namespace r58267
