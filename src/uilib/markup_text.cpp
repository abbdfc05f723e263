#include "uilib/markup_text.h"

namespace lvx::uilib {
namespace {

// The open tags while reading; each kind keeps its own stack, so "{f 1}{u}x{/f}" ends the font and
// leaves the underline on.
struct State {
  std::vector<int> fonts;
  std::vector<Color> colors;
  std::vector<int> links;
  int underline = 0, bold = 0, italic = 0;
  int linkCount = 0;

  TextRun Look() const {
    TextRun run;
    run.font = fonts.empty() ? -1 : fonts.back();
    run.color = colors.empty() ? kNoColor : colors.back();
    run.link = links.empty() ? -1 : links.back();
    run.underline = underline > 0;
    run.bold = bold > 0;
    run.italic = italic > 0;
    return run;
  }
};

void Close(int* depth) {
  if (*depth > 0) --*depth;
}
template <class T>
void Pop(std::vector<T>* stack) {
  if (!stack->empty()) stack->pop_back();
}

// Applies the tag body (the text between the braces); false when it is not a tag.
bool Apply(std::u16string_view tag, State* state) {
  if (tag == u"a" || (tag.size() > 2 && tag.substr(0, 2) == u"a ")) {
    state->links.push_back(state->linkCount++);
  } else if (tag == u"/a") {
    Pop(&state->links);
  } else if (tag.size() > 2 && tag.substr(0, 2) == u"f ") {
    int font = 0;
    if (!ParseIndex(tag.substr(2), 255, &font)) return false;
    state->fonts.push_back(font);
  } else if (tag == u"/f") {
    Pop(&state->fonts);
  } else if (tag.size() > 2 && tag.substr(0, 2) == u"c ") {
    Color color = 0;
    if (!ParseColor(tag.substr(2), &color)) return false;
    state->colors.push_back(color);
  } else if (tag == u"/c") {
    Pop(&state->colors);
  } else if (tag == u"u" || tag == u"b" || tag == u"i") {
    ++(tag == u"u" ? state->underline : tag == u"b" ? state->bold : state->italic);
  } else if (tag == u"/u" || tag == u"/b" || tag == u"/i") {
    Close(tag == u"/u" ? &state->underline : tag == u"/b" ? &state->bold : &state->italic);
  } else {
    return false;
  }
  return true;
}

void Append(std::vector<TextRun>* runs, const State& state, std::u16string_view text) {
  if (text.empty()) return;
  TextRun look = state.Look();
  if (!runs->empty() && runs->back().SameLook(look)) {
    runs->back().text += text;
    return;
  }
  look.text = text;
  runs->push_back(std::move(look));
}

}  // namespace

std::vector<TextRun> ParseMarkupText(std::u16string_view text) {
  std::vector<TextRun> runs;
  State state;
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = text.find(u'{', at);
    if (open == std::u16string_view::npos) {
      Append(&runs, state, text.substr(at));
      break;
    }
    Append(&runs, state, text.substr(at, open - at));
    const size_t close = text.find(u'}', open + 1);
    if (close != std::u16string_view::npos && Apply(text.substr(open + 1, close - open - 1), &state)) {
      at = close + 1;
    } else {
      Append(&runs, state, text.substr(open, 1));
      at = open + 1;
    }
  }
  return runs;
}

std::u16string PlainText(const std::vector<TextRun>& runs) {
  std::u16string text;
  for (const TextRun& run : runs) text += run.text;
  return text;
}

}  // namespace lvx::uilib
