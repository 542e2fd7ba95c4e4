#include "win/excel_members.h"

#include <algorithm>

namespace win::excel_members {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return Lower(x) == Lower(y); });
}

}  // namespace

std::optional<std::size_t> FindMember(std::string_view type, std::string_view name) {
  for (std::size_t i = 0; i < kMemberCount; ++i) {
    if (kMembers[i].type == type && SameName(kMembers[i].name, name)) return i;
  }
  return std::nullopt;
}

}  // namespace win::excel_members
