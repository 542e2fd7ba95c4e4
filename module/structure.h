// The structure that the module checks in each exercise's workbook before
// the exercise's own check: sheet names and positions, marker comments and
// drawing objects, with the code that each failing step gives.
#pragma once

#include <cstdint>
#include <vector>

namespace r58267 {

// One step of the structure check of a question.
struct Controle {
  enum class Type {
    Presente,            // a sheet of that name exists
    Position,            // the sheet at that position has that name
    Commentaire,         // the marker comment in a cell of the sheet at that position
    CommentaireProtege,  // the same; on failure sheet 1 is protected
    Formes,              // the sheet at that position has that many shapes
    FormesTrouvee,       // the first sheet of that name has that many shapes
  };
  Type type;
  const char* texte;  // sheet name (lower case) or cell address
  long position = 0;  // 1-based position of the sheet
  long formes = 0;    // expected number of shapes
  const char* code = "D";
};

// The steps of a question's check, in order.
std::vector<Controle> ControlesDeLaQuestion(std::int32_t question);

}  // namespace r58267
