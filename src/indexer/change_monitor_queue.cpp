#include "indexer/change_monitor_queue.h"

namespace lvx::indexer {

std::u16string RequestFolder(const std::u16string& request) {
  if (!request.empty() &&
      (request[0] == u'#' || request[0] == u'@' || request[0] == ChangeQueue::kSubtree))
    return request.substr(1);
  return request;
}

std::u16string ParentFolder(const std::u16string& folder) {
  if (folder.size() < 2) return {};
  size_t slash = folder.rfind(u'\\', folder.size() - 2);
  return slash == std::u16string::npos ? std::u16string() : folder.substr(0, slash + 1);
}

bool ChangeQueue::Foldable(const std::u16string& request) {
  return request.empty() || (request[0] != u'#' && request[0] != u'@');
}

void ChangeQueue::Append(const std::u16string& request, bool front) {
  auto at = front ? order_.insert(order_.begin(), request) : order_.insert(order_.end(), request);
  index_[request] = at;
  if (!Foldable(request)) return;
  std::u16string parent = ParentFolder(RequestFolder(request));
  if (!parent.empty()) ++children_[parent];
}

void ChangeQueue::Erase(std::list<std::u16string>::iterator at) {
  if (Foldable(*at)) {
    auto count = children_.find(ParentFolder(RequestFolder(*at)));
    if (count != children_.end() && --count->second == 0) children_.erase(count);
  }
  index_.erase(*at);
  order_.erase(at);
}

bool ChangeQueue::Covered(const std::u16string& folder, bool subtree) const {
  if (!subtree && (Contains(folder) || Contains(u'@' + folder))) return true;
  for (std::u16string above = folder; !above.empty(); above = ParentFolder(above))
    if (Contains(u'#' + above) || Contains(kSubtree + above)) return true;
  return false;
}

void ChangeQueue::PushRequest(const std::u16string& request) {
  if (!request.empty() && request[0] == kSubtree)
    FoldInto(request.substr(1));
  else if (!Contains(request))
    Append(request, false);
}

void ChangeQueue::PushChange(const std::u16string& folder) {
  if (Covered(folder, false)) return;
  Append(folder, false);
  FoldParentWhenCrowded(folder);
}

void ChangeQueue::FoldInto(const std::u16string& folder) {
  for (auto at = order_.begin(); at != order_.end();) {
    auto next = std::next(at);
    if (Foldable(*at) && RequestFolder(*at).compare(0, folder.size(), folder) == 0) Erase(at);
    at = next;
  }
  if (Covered(folder, true)) return;
  Append(kSubtree + folder, false);
  // The new rescan counts among its parent's children: a burst spread over many folders folds on.
  FoldParentWhenCrowded(folder);
}

// In a long queue, a folder with many queued children becomes one rescan of its subtree.
void ChangeQueue::FoldParentWhenCrowded(const std::u16string& folder) {
  std::u16string parent = ParentFolder(folder);
  if (order_.size() < longQueue_ || parent.empty()) return;
  auto count = children_.find(parent);
  if (count != children_.end() && count->second >= foldMin_) FoldInto(parent);
}

void ChangeQueue::FoldAllInto(const std::u16string& root) {
  for (auto at = order_.begin(); at != order_.end();) {
    auto next = std::next(at);
    if (Foldable(*at)) Erase(at);
    at = next;
  }
  PushRequest(u'#' + root);
}

void ChangeQueue::PushFront(const std::u16string& request) {
  auto queued = index_.find(request);
  if (queued != index_.end()) Erase(queued->second);
  Append(request, true);
}

bool ChangeQueue::TakeFront(std::u16string* request) {
  if (order_.empty()) return false;
  *request = order_.front();
  Erase(order_.begin());
  return true;
}

bool ChangeQueue::Remove(const std::u16string& request) {
  auto queued = index_.find(request);
  if (queued == index_.end()) return false;
  Erase(queued->second);
  return true;
}

}  // namespace lvx::indexer
