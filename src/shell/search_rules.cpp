#include "shell/search_rules.h"

#include "platform/text.h"

namespace lvx::shell {
namespace {

constexpr const char16_t* kSortButtonTexts[] = {
    u"{a}{f 3}Defa{u}u{/u}lt{/f}{/a}",      u"{a}{f 3}{u}N{/u}ame{/f}{/a}",
    u"{a}{f 3}{u}L{/u}ocation{/f}{/a}",     u"{a}{f 3}{u}S{/u}ize{/f}{/a}",
    u"{a}{f 3}T{u}y{/u}pe{/f}{/a}",         u"{a}{f 3}Date {u}M{/u}odified{/f}{/a}",
};
constexpr char16_t kArrowUp[] = u"{f 4}{c #7C7C80}\u25B2{/c}{/f}";
constexpr char16_t kArrowDown[] = u"{f 4}{c #7C7C80}\u25BC{/c}{/f}";

}  // namespace

bool TypingStartsSearch(std::u16string_view pattern, bool allowOneChar, bool refineOn) {
  if (allowOneChar || refineOn) return true;
  return pattern.size() >= 2 && pattern[pattern.size() - 2] != u';';
}

search::SearchRequest BuildSearchRequest(const options::AdvancedChoices& advanced,
                                         const options::SizeDateChoices& sizeDate, const SearchInputs& inputs,
                                         std::u16string* lastFullPattern) {
  search::SearchRequest request;
  options::ApplyFilters(advanced, sizeDate, &request);
  request.pattern = inputs.pattern;
  request.location = inputs.location;
  request.refineBase = inputs.refineBase;
  request.driveMask = inputs.driveMask;
  if (inputs.refineOn) {
    if (inputs.refineBase == *lastFullPattern)
      request.refine = 1;
    else
      request.pattern = inputs.refineBase;
  }
  if (!request.refine) *lastFullPattern = request.pattern;
  return request;
}

std::u16string FoundStatusText(uint32_t count, uint64_t totalKB, uint32_t elapsedMs) {
  return Format("%s items found (%sKB), in %.2fs", U8(FormatThousands(count)).c_str(),
                U8(FormatThousands(totalKB)).c_str(), elapsedMs * 0.001);
}

const char16_t* SearchWarningText(uint32_t code) {
  switch (code) {
    case search::NotifyRefineNoMemory:
      return u" [WARNING] : Too many files , not enough memory to process this command !";
    case search::NotifySearchNoMemory:
      return u" [WARNING] : Too many files have been found, not enough memory to show all files !";
    case search::NotifyBadLocation:
      return u" [WARNING] : The search location is invalid!! Default to be My Computer! ";
    default:
      return nullptr;
  }
}

SortChoice ChooseSort(SortChoice current, search::SortKey picked) {
  if (picked == search::SortUnsorted) return {picked, current.ascending};
  if (picked == current.key) return {picked, !current.ascending};
  return {picked, search::FirstDirection(picked) != 0};
}

std::u16string SortButtonText(search::SortKey key, bool selected, bool ascending) {
  if (key < search::SortUnsorted || key > search::SortDate) return {};
  std::u16string text = kSortButtonTexts[key];
  if (selected && key != search::SortUnsorted) text += ascending ? kArrowUp : kArrowDown;
  return text;
}

}  // namespace lvx::shell
