// The arithmetic of the linear layouts, apart from any control: how a row or a column of items
// shares its room along its axis, and where one item sits across it.
//
// Along the axis, an item with a fixed size gets it and an item with a percentage gets that share
// of the room, both held between the item's minimum and maximum. Items without a size share what
// is left after the sized items, the items' paddings and the gaps between neighbours, in equal
// parts (the pixels that do not divide evenly go to the first of them); an item whose equal part
// would break its minimum or maximum gets that limit instead and the others share the rest again.
// When the sized items alone overflow the room, the others get their minimum and the row runs past
// its end, to be clipped by its parent.
#pragma once

#include <vector>

#include "uilib/ui_values.h"

namespace lvx::uilib {

struct LayoutItem {
  SizeSpec size;
  int minSize = 0;
  int maxSize = kMaxCoordinate;
  int padBefore = 0;  // the item's padding on the side towards the start of the axis
  int padAfter = 0;
};

struct Span {
  int offset = 0;  // from the start of the room
  int length = 0;
  bool operator==(const Span&) const = default;
};

// One span per item, in order, for a room of the given length with gap pixels between neighbours.
std::vector<Span> DistributeSpans(int room, int gap, const std::vector<LayoutItem>& items);
// Across the axis: a sized item gets its size, another fills the room less its paddings; either
// way held between its limits, and placed after its leading padding.
Span PlaceAcross(int room, const LayoutItem& item);

}  // namespace lvx::uilib
