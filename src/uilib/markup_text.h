// The formatted text of labels and buttons: plain text with brace tags, read into runs of equal
// look. Tags: {a} ... {/a} a link, {f n} ... {/f} font n of the window, {u} ... {/u} underline,
// {b} ... {/b} bold, {i} ... {/i} italic, {c #RRGGBB} ... {/c} colour. Tags nest; a closing tag ends
// the innermost open tag of its kind and is ignored when none is open. A brace that does not start
// one of these tags is text ("{x}" and a lone "{" read as they are).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "uilib/ui_values.h"

namespace lvx::uilib {

struct TextRun {
  std::u16string text;
  int font = -1;        // the window's font index, -1 for the control's own font
  bool underline = false;
  bool bold = false;
  bool italic = false;
  Color color = kNoColor;  // kNoColor: the control's colour (or the link colour inside a link)
  int link = -1;           // which {a} of the text the run belongs to, -1 outside links

  bool SameLook(const TextRun& o) const {
    return font == o.font && underline == o.underline && bold == o.bold && italic == o.italic &&
           color == o.color && link == o.link;
  }
};

std::vector<TextRun> ParseMarkupText(std::u16string_view text);
// The text without its tags.
std::u16string PlainText(const std::vector<TextRun>& runs);

}  // namespace lvx::uilib
