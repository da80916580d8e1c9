// Which handle owns which editor window. Copies of a handle share its window without owning
// it, and a window that its parent widget has already deleted is not deleted again.
#include "penwick_handle.h"

#include <mutex>
#include <unordered_map>

namespace penwick {
namespace {

struct Owners {
  std::mutex lock;
  std::unordered_map<const CEditorWnd*, const void*> map;
};

Owners& owners() {
  static Owners o;
  return o;
}

}  // namespace

void SetWindowOwner(const CEditorWnd* window, const void* handle) {
  std::lock_guard g(owners().lock);
  owners().map[window] = handle;
}

void ForgetWindow(const CEditorWnd* window) {
  std::lock_guard g(owners().lock);
  owners().map.erase(window);
}

void ReleaseWindow(CEditorWnd* window, const void* handle) {
  if (!window) return;
  {
    std::lock_guard g(owners().lock);
    auto it = owners().map.find(window);
    if (it == owners().map.end() || it->second != handle) return;
  }
  delete window;  // its destructor forgets it
}

}  // namespace penwick
