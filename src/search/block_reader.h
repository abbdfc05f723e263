// Reads a record straight from a block's bytes, for blocks that lie whole in one view of the
// mapping (every block shorter than the views' overlap does). It validates exactly as
// CDBMapFile::ReadRecord does, which stays the reader of every other block and the reference that
// tests hold this one to; it only skips the per-record window lookups, and finds the name's
// terminator sixteen code units at a time while it checks for the characters that a matching name
// must hold, so that most names never reach the matcher.
#pragma once

#include <cstdint>

#include "cache/format.h"
#include "cache/map_file.h"
#include "search/query.h"

#if LVX_SEARCH_SSE2
#include <emmintrin.h>
#endif

#if defined(__GNUC__)
#define LVX_ALWAYS_INLINE __attribute__((always_inline))
#else
#define LVX_ALWAYS_INLINE
#endif

namespace lvx::search {

// The index of the first NUL among units[0, count), or count when there is none. All count units
// must be readable.
inline uint32_t FindTerminator(const char16_t* units, uint32_t count) {
  uint32_t i = 0;
#if LVX_SEARCH_SSE2
  // 32 units per step, so that the one branch a typical name needs is well predicted.
  const __m128i zero = _mm_setzero_si128();
  auto zeros = [&](uint32_t at) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + at));
    return uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi16(v, zero))));
  };
  for (; i + 32 <= count; i += 32) {
    uint64_t mask = zeros(i) | (zeros(i + 8) << 16) | (zeros(i + 16) << 32) | (zeros(i + 24) << 48);
    if (mask) return i + (uint32_t(__builtin_ctzll(mask)) >> 1);
  }
  for (; i + 8 <= count; i += 8) {
    uint64_t mask = zeros(i);
    if (mask) return i + (uint32_t(__builtin_ctzll(mask)) >> 1);
  }
#endif
  for (; i < count; ++i)
    if (units[i] == 0) return i;
  return count;
}

// Finds a name's terminator as FindTerminator does, and tells through *holds whether any of the
// required characters occurs before it (always true when the set is empty): one pass over the name
// does both. Built once per walk, so the comparison vectors are made once.
class NameScanner {
 public:
  explicit NameScanner(const RequiredChars& required) : required_(required) {
#if LVX_SEARCH_SSE2
    for (int k = 0; k < required.count; ++k) {
      char16_t c = required.chars[k];
      want_[k] = _mm_set1_epi16(short(c));
      bits_[k] = _mm_set1_epi16(short((c >= u'a' && c <= u'z') ? 0x20 : 0));
    }
#endif
  }

  LVX_ALWAYS_INLINE uint32_t Scan(const char16_t* units, uint32_t count, bool* holds) const {
    switch (required_.count) {
      case 0:
        *holds = true;
        return FindTerminator(units, count);
      case 1: return ScanFor<1>(units, count, holds);
      case 2: return ScanFor<2>(units, count, holds);
      default: return ScanFor<RequiredChars::kMax>(units, count, holds);
    }
  }

 private:
  // kCount is the number of required characters, or kMax for "up to kMax": the vectors of unused
  // ones stay zero, which only a terminator equals, and no unit from the terminator on counts.
  template <int kCount>
  LVX_ALWAYS_INLINE uint32_t ScanFor(const char16_t* units, uint32_t count, bool* holds) const {
    uint32_t i = 0;
    uint32_t seen = 0;  // bit k: chars[k] occurs before the units still to scan
#if LVX_SEARCH_SSE2
    const __m128i zero = _mm_setzero_si128();
    // For 8 units: where a terminator may be, and for each character where it is.
    auto masks = [&](uint32_t at, uint32_t* found) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + at));
      for (int k = 0; k < kCount; ++k)
        found[k] = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_or_si128(v, bits_[k]), want_[k])));
      return uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi16(v, zero)));
    };
    auto collect = [&](const uint32_t* found, uint32_t below) {
      for (int k = 0; k < kCount; ++k)
        if (found[k] & below) seen |= 1u << k;
    };
    for (; i + 16 <= count; i += 16) {
      uint32_t f0[kCount], f1[kCount];
      uint32_t z = masks(i, f0) | (masks(i + 8, f1) << 16);
      for (int k = 0; k < kCount; ++k) f0[k] |= f1[k] << 16;
      if (z) {
        uint32_t bit = uint32_t(__builtin_ctz(z));
        collect(f0, (1u << bit) - 1);
        *holds = required_.Satisfied(seen);
        return i + (bit >> 1);
      }
      collect(f0, ~0u);
    }
    for (; i + 8 <= count; i += 8) {
      uint32_t f[kCount];
      uint32_t z = masks(i, f);
      if (z) {
        uint32_t bit = uint32_t(__builtin_ctz(z));
        collect(f, (1u << bit) - 1);
        *holds = required_.Satisfied(seen);
        return i + (bit >> 1);
      }
      collect(f, ~0u);
    }
#endif
    for (; i < count && units[i] != 0; ++i) seen |= required_.BitOf(units[i]);
    *holds = required_.Satisfied(seen);
    return i;
  }

  RequiredChars required_;
#if LVX_SEARCH_SSE2
  __m128i want_[RequiredChars::kMax] = {};
  __m128i bits_[RequiredChars::kMax] = {};
#endif
};

// p points at the record, which starts at file offset `offset`; room is the number of bytes from
// there to the end of its block. False when the bytes are not a record that fits the block.
// *holds tells whether the name holds one of the required characters.
LVX_ALWAYS_INLINE inline bool ParseRecord(const uint8_t* p, uint32_t offset, uint32_t room,
                                          const NameScanner& scanner, cache::Record* record, bool* holds) {
  if (room < cache::kEndMarkSize) return false;
  record->offset = offset;
  record->type = cache::LoadU16(p);
  if (record->type == cache::RECORD_END) {
    record->length = cache::kEndMarkSize;
    record->name = nullptr;
    record->nameLength = 0;
    return true;
  }
  if (room < cache::kRecordFixedBytes) return false;
  uint32_t maxUnits = (room - cache::kRecordFixedBytes) / 2;
  if (maxUnits > cache::kMaxNameLength) maxUnits = cache::kMaxNameLength;
  const char16_t* name = reinterpret_cast<const char16_t*>(p + 2);
  const uint32_t n = scanner.Scan(name, maxUnits + 1, holds);
  if (n > maxUnits) return false;
  const uint8_t* tail = p + 2 * n + 4;
  record->name = name;
  record->nameLength = n;
  record->linkOffset = offset + 2 * n + 4;
  record->sizeOrLink = cache::LoadU32(tail);
  record->timeLow = cache::LoadU32(tail + 4);
  record->timeHigh = cache::LoadU32(tail + 8);
  record->length = cache::RecordLength(n);
  return true;
}

}  // namespace lvx::search
