// ChangeQueue: the requests waiting for one drive's drain thread, in order, each at most once.
//
//   "#" + folder   rescan of the whole subtree, with progress, posts its end (explicit)
//   "@" + folder   this folder, with progress, posts its end (explicit)
//   "*" + folder   rescan of the whole subtree, silently (a folder that arrived, a burst folded
//                  by the queue, changes the system dropped)
//   folder         this folder (a change seen by a watcher)
//
// A change that a queued request already covers (the same folder, or a subtree rescan of it or of a
// folder above it) is not queued again: the covering refresh runs after the change and sees it.
// When the queue is long and many changes name the children of one folder, they become one silent
// subtree rescan of that folder, which also covers every later change below it. Not thread-safe: the
// owner holds its queue lock around every call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

namespace lvx::indexer {

class ChangeQueue {
 public:
  static constexpr char16_t kSubtree = u'*';
  // Folding starts at this many queued entries ...
  static constexpr size_t kLongQueue = 256;
  // ... when this many entries are children of one folder.
  static constexpr size_t kFoldMin = 32;

  void SetFolding(size_t longQueue, size_t foldMin) {
    longQueue_ = longQueue;
    foldMin_ = foldMin;
  }

  // An explicit request ("#", "@") at the back unless it is queued; "*" folds what it covers (FoldInto).
  void PushRequest(const std::u16string& request);
  // A changed folder (ending in '\\'): dropped when covered, may fold the queue (see above).
  void PushChange(const std::u16string& folder);
  // Every change and silent rescan becomes one "#" rescan of root; explicit requests stay.
  void FoldAllInto(const std::u16string& root);
  // A request taken but not run goes back to the front.
  void PushFront(const std::u16string& request);
  bool TakeFront(std::u16string* request);
  // Removes a request wherever it is queued; false when it is not.
  bool Remove(const std::u16string& request);
  bool Contains(const std::u16string& request) const { return index_.count(request) != 0; }
  size_t Size() const { return order_.size(); }
  bool Empty() const { return order_.empty(); }
  std::vector<std::u16string> Entries() const { return {order_.begin(), order_.end()}; }

 private:
  // Whether a queued request refreshes folder (and, for a subtree, everything below it) anyway.
  bool Covered(const std::u16string& folder, bool subtree) const;
  // Queues a silent rescan of folder in place of every change and silent rescan below it.
  void FoldInto(const std::u16string& folder);
  void FoldParentWhenCrowded(const std::u16string& folder);
  void Append(const std::u16string& request, bool front);
  void Erase(std::list<std::u16string>::iterator at);
  // The folder whose children count towards folding: changes and silent rescans only.
  static bool Foldable(const std::u16string& request);

  std::list<std::u16string> order_;
  std::unordered_map<std::u16string, std::list<std::u16string>::iterator> index_;
  std::unordered_map<std::u16string, size_t> children_;  // foldable entries per parent folder
  size_t longQueue_ = kLongQueue, foldMin_ = kFoldMin;
};

// The folder a request names, without its prefix.
std::u16string RequestFolder(const std::u16string& request);
// The folder above a folder ("C:\\A\\B\\" gives "C:\\A\\"); empty for a drive root or a bare name.
std::u16string ParentFolder(const std::u16string& folder);

}  // namespace lvx::indexer
