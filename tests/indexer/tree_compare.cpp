#include "tree_compare.h"

#include <algorithm>

#include "platform/dir.h"
#include "platform/text.h"

namespace lvx::test {

using namespace cache;

namespace {

void CachedBlock(CDBMapFile& file, uint32_t block, const std::string& prefix,
                 std::vector<std::string>& out, int depth) {
  if (depth > 100) {
    out.push_back("DAMAGED");
    return;
  }
  BlockCursor cursor(file, block);
  Record r;
  while (cursor.Next(&r)) {
    std::string name = prefix + U8(std::u16string(r.name, r.nameLength));
    if (r.type == RECORD_FILE) {
      out.push_back(name + "|" + std::to_string(r.sizeOrLink));
    } else if (r.type == RECORD_FOLDER) {
      out.push_back(name + "\\");
      if (r.sizeOrLink != NO_BLOCK) CachedBlock(file, r.sizeOrLink, name + "\\", out, depth + 1);
    }
  }
  if (cursor.Damaged()) out.push_back("DAMAGED");
}

void DiskFolder(const std::u16string& folder, const std::string& prefix,
                std::vector<std::string>& out) {
  os::FolderEntry data;
  os::FolderListing listing;
  if (!listing.Open(folder)) return;
  std::vector<std::u16string> subfolders;
  while (listing.Next(&data)) {
    std::u16string name(data.name);
    if (name == u"." || name == u"..") continue;
    if (data.isFolder) {
      out.push_back(prefix + U8(name) + "\\");
      subfolders.push_back(name);
    } else {
      out.push_back(prefix + U8(name) + "|" + std::to_string(SizeInKB(data.sizeHigh, data.sizeLow)));
    }
  }
  for (const auto& sub : subfolders) DiskFolder(folder + sub + u"\\", prefix + U8(sub) + "\\", out);
}

}  // namespace

std::vector<std::string> CachedTree(CDBMapFile& file, char16_t letter) {
  std::vector<std::string> out;
  uint32_t child = NO_BLOCK;
  std::u16string drive{letter, u':'};
  if (file.FindPath(kRootBlockOffset, drive.c_str(), &child, nullptr) != NO_BLOCK &&
      child != NO_BLOCK)
    CachedBlock(file, child, "", out, 0);
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> DiskTree(const std::u16string& root) {
  std::vector<std::string> out;
  DiskFolder(root, "", out);
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace lvx::test
