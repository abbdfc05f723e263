#include "options_ui/filter_choices.h"

namespace lvx::options {

using namespace lvx::search;

void ApplyFilters(const AdvancedChoices& advanced, const SizeDateChoices& sizeDate, SearchRequest* request) {
  request->filterCount = 0;
  auto add = [request](FilterCode code) { request->filterCodes[request->filterCount++] = code; };
  add(NameMatches);
  if (advanced.noSubdirs) add(TopLevelOnly);
  if (advanced.searchFor == 1) add(FilesOnly);
  if (advanced.searchFor == 2) add(FoldersOnly);
  if (sizeDate.useMinSize) {
    add(MinSize);
    request->minSizeKB = uint32_t(sizeDate.minSizeKB);
  }
  if (sizeDate.useMaxSize) {
    add(MaxSize);
    request->maxSizeKB = uint32_t(sizeDate.maxSizeKB);
  }
  if (sizeDate.useFrom) {
    add(ModifiedFrom);
    request->modifiedFrom = sizeDate.modifiedFrom;
  }
  if (sizeDate.useTo) {
    add(ModifiedTo);
    request->modifiedTo = sizeDate.modifiedTo;
  }
}

int32_t SizeFromText(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  if (i == text.size() || text[i] < u'0' || text[i] > u'9') return -1;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > 0x7FFFFFFF) return 0x7FFFFFFF;
  }
  return int32_t(value);
}

}  // namespace lvx::options
