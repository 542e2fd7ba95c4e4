#include "questions/factory.h"

#include "questions/question0705.h"

namespace r58267 {

std::shared_ptr<Question> CreeQuestion(long ilQuestion) {
  switch (ilQuestion) {
    case 705:
      return std::make_shared<Question0705>();
    default:
      return nullptr;
  }
}

}  // namespace r58267
