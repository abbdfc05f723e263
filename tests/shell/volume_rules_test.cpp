// A volume arriving or going away: the active drive mask and the drives whose roots are refreshed.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "shell/volume_rules.h"

namespace lvx::shell {
namespace {

constexpr uint32_t Bit(char letter) { return 1u << (letter - 'A'); }

// D: removable, E: fixed, F: optical, G: network, H: nothing there; C: fixed.
uint32_t TypeOf(const std::u16string& root) {
  EXPECT_TRUE(root.size() == 3 && root.substr(1) == u":\\") << U8(root);
  switch (root[0]) {
    case u'C': case u'E': return 3;
    case u'D': return 2;
    case u'F': return 5;
    case u'G': return 4;
    default: return 1;
  }
}

TEST(VolumeRules, MaskAndJoinedDrives) {
  const auto A = VolumeEvent::Arrival;
  const auto R = VolumeEvent::Removal;
  const uint32_t c = Bit('C');
  const struct {
    const char* what;
    uint32_t active;
    VolumeEvent event;
    uint32_t unit;
    bool autoSelect;
    uint32_t mask, joined;
  } cases[] = {
      {"auto: a removable drive joins", c, A, Bit('D'), true, c | Bit('D'), Bit('D')},
      {"auto: a fixed drive joins", c, A, Bit('E'), true, c | Bit('E'), Bit('E')},
      {"auto: optical, network and empty letters stay out", c, A, Bit('F') | Bit('G') | Bit('H'), true, c, 0},
      {"auto: one volume of several letters, only the fitting join", c, A, Bit('D') | Bit('F') | Bit('E'), true,
       c | Bit('D') | Bit('E'), Bit('D') | Bit('E')},
      {"auto: an arriving drive already selected is refreshed again", c | Bit('D'), A, Bit('D'), true,
       c | Bit('D'), Bit('D')},
      {"auto: removal takes the letters out", c | Bit('D') | Bit('E'), R, Bit('D') | Bit('E'), true, c, 0},
      {"auto: removal of a letter not selected changes nothing", c, R, Bit('D'), true, c, 0},
      {"off: arrival only drops the letter", c | Bit('D'), A, Bit('D'), false, c, 0},
      {"off: arrival of an unselected fixed drive does not add it", c, A, Bit('E'), false, c, 0},
      {"off: removal drops the letter", c | Bit('E'), R, Bit('E'), false, c, 0},
      {"bits past Z are no drives", c, A, 0xFC000000u | Bit('D'), true, c | Bit('D'), Bit('D')},
      {"bits past Z are not cleared from the mask either", 0xFC000000u | c, R, 0xFFFFFFFFu, false, 0xFC000000u, 0},
      {"an empty unit mask changes nothing", c, A, 0, true, c, 0},
  };
  for (const auto& k : cases) {
    VolumeOutcome out = ApplyVolumeEvent(k.active, k.event, k.unit, k.autoSelect, TypeOf);
    EXPECT_EQ(std::pair(out.mask, out.joined), std::pair(k.mask, k.joined)) << k.what;
  }
  EXPECT_EQ(RootRefreshRequest(0) + RootRefreshRequest(25), u"@A:\\@Z:\\");
}

}  // namespace
}  // namespace lvx::shell
