#include "uilib/layout_math.h"

#include <algorithm>

namespace lvx::uilib {
namespace {

int Clamp(int v, const LayoutItem& item) {
  return std::max(item.minSize, std::min(v, std::max(item.minSize, item.maxSize)));
}

int SizedLength(int room, const LayoutItem& item) {
  const int wanted = item.size.kind == SizeSpec::Fixed ? item.size.value : int(int64_t(room) * item.size.value / 100);
  return Clamp(wanted, item);
}

}  // namespace

std::vector<Span> DistributeSpans(int room, int gap, const std::vector<LayoutItem>& items) {
  const size_t n = items.size();
  std::vector<Span> spans(n);
  std::vector<bool> open(n, false);  // items still sharing the room left over
  int used = n > 1 ? gap * int(n - 1) : 0;
  size_t openCount = 0;
  for (size_t i = 0; i < n; ++i) {
    used += items[i].padBefore + items[i].padAfter;
    if (items[i].size.kind == SizeSpec::Auto) {
      open[i] = true;
      ++openCount;
    } else {
      spans[i].length = SizedLength(room, items[i]);
      used += spans[i].length;
    }
  }
  // Items whose equal part breaks a limit take the limit and leave the sharing; each pass settles
  // at least one item, so this ends after at most n passes.
  for (bool settled = true; settled && openCount > 0;) {
    settled = false;
    const int share = std::max(0, room - used) / int(openCount);
    for (size_t i = 0; i < n; ++i) {
      if (!open[i] || Clamp(share, items[i]) == share) continue;
      spans[i].length = Clamp(share, items[i]);
      used += spans[i].length;
      open[i] = false;
      --openCount;
      settled = true;
    }
  }
  if (openCount > 0) {
    const int left = std::max(0, room - used);
    int extra = left % int(openCount);
    for (size_t i = 0; i < n; ++i) {
      if (!open[i]) continue;
      spans[i].length = left / int(openCount) + (extra > 0 ? 1 : 0);
      if (extra > 0) --extra;
    }
  }
  int at = 0;
  for (size_t i = 0; i < n; ++i) {
    at += items[i].padBefore;
    spans[i].offset = at;
    at += spans[i].length + items[i].padAfter + gap;
  }
  return spans;
}

Span PlaceAcross(int room, const LayoutItem& item) {
  const int length = item.size.kind == SizeSpec::Auto ? room - item.padBefore - item.padAfter : SizedLength(room, item);
  return {item.padBefore, Clamp(std::max(0, length), item)};
}

}  // namespace lvx::uilib
