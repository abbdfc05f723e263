#include "cache/dump.h"

#include <unordered_set>
#include <vector>

#include "platform/text.h"

namespace lvx::cache {
namespace {

std::string Name(const Record& r) { return U8(std::u16string(r.name, r.nameLength)); }

// Two spaces per level up to this depth; deeper records show their depth as a number instead, so
// that a deep chain of folders prints a bounded number of bytes per record.
constexpr int kMaxIndentDepth = 32;

std::string Indent(int depth) {
  if (depth <= kMaxIndentDepth) return std::string(size_t(depth) * 2, ' ');
  return "[" + std::to_string(depth) + "] ";
}

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", v);
  return text;
}

}  // namespace

DumpResult DumpCache(CDBMapFile& file, std::FILE* out) {
  DumpResult result;
  uint32_t format = 0, drivesDone = 0, drivesBusy = 0, dataEnd = 0, mappedSize = 0, freeHead = 0;
  if (file.GetMapSize() < kHeaderSize || !file.GetU32(kFormatWordOffset, &format) ||
      format != kFormatWord) {
    result.error = "not a Lumivex cache file (wrong format word)";
    return result;
  }
  file.GetU32(kDrivesDoneOffset, &drivesDone);
  file.GetU32(kDrivesBusyOffset, &drivesBusy);
  file.GetU32(kDataEndOffset, &dataEnd);
  file.GetU32(kMappedSizeOffset, &mappedSize);
  file.GetU32(kFreeListHeadOffset, &freeHead);
  if (out) {
    std::fprintf(out, "FormatWord   %u\nDrivesDone   %s\nDrivesBusy   %s\nDataEnd      %u\n"
                      "MappedSize   %u\nFreeListHead %s\nFileSize     %u\n",
                 format, Hex(drivesDone).c_str(), Hex(drivesBusy).c_str(), dataEnd, mappedSize,
                 freeHead == NO_BLOCK ? "NO_BLOCK" : std::to_string(freeHead).c_str(),
                 file.GetMapSize());
  }
  if (dataEnd > file.GetMapSize()) {
    result.error = "DataEnd " + std::to_string(dataEnd) + " lies beyond the end of the file";
    return result;
  }

  struct Frame {
    BlockCursor cursor;
    int depth;
  };
  std::vector<Frame> stack;
  std::unordered_set<uint32_t> seen{kRootBlockOffset};
  stack.push_back({BlockCursor(file, kRootBlockOffset), 0});
  uint32_t rootCapacity = 0;
  file.ReadBlockCapacity(kRootBlockOffset, &rootCapacity);
  if (out) std::fprintf(out, "%10u  root  capacity %u\n", kRootBlockOffset, rootCapacity);
  while (!stack.empty()) {
    Record r;
    Frame& top = stack.back();
    if (!top.cursor.Next(&r)) {
      if (top.cursor.Damaged()) {
        result.error = "damaged block or record at offset " + std::to_string(top.cursor.Position());
        return result;
      }
      stack.pop_back();
      continue;
    }
    int depth = top.depth;
    if (depth > 0) ++result.records;
    if (out) {
      std::string indent = Indent(depth);
      const char* type = r.type == RECORD_FILE     ? "file"
                         : r.type == RECORD_FOLDER ? "dir "
                         : r.type == RECORD_TAKEN_OVER ? "took"
                                                       : "??? ";
      uint64_t time = (uint64_t(r.timeHigh) << 32) | r.timeLow;
      if (r.type == RECORD_FILE)
        std::fprintf(out, "%10u  %s %s%s  %u KB  t=%llu\n", r.offset, type, indent.c_str(),
                     Name(r).c_str(), r.sizeOrLink, static_cast<unsigned long long>(time));
      else
        std::fprintf(out, "%10u  %s %s%s  -> %s  t=%llu\n", r.offset, type, indent.c_str(),
                     Name(r).c_str(),
                     r.sizeOrLink == NO_BLOCK ? "NO_BLOCK" : std::to_string(r.sizeOrLink).c_str(),
                     static_cast<unsigned long long>(time));
    }
    if (r.type != RECORD_FOLDER || r.sizeOrLink == NO_BLOCK) continue;
    if (!seen.insert(r.sizeOrLink).second) {
      result.error = "block " + std::to_string(r.sizeOrLink) + " is linked twice (a loop)";
      return result;
    }
    ++result.blocks;
    stack.push_back({BlockCursor(file, r.sizeOrLink), depth + 1});
  }
  result.ok = true;
  return result;
}

}  // namespace lvx::cache
