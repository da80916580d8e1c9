#include <ui/handles.h>

#include "handles_internal.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <mutex>
#include <unordered_map>

namespace ui {

namespace {

// Handles are never reused while the process runs, so a stale handle kept by a peer finds
// nothing rather than some later window.
struct HandleTable {
  std::mutex lock;
  std::unordered_map<HWND, QPointer<QObject>> objects;
  std::unordered_map<QObject*, HWND> handles;
  HWND next = 0x00010004;
};

HandleTable& table() {
  static HandleTable* t = new HandleTable;  // outlives every window, even static ones
  return *t;
}

}  // namespace

HWND handleOf(QObject* window) {
  if (!window) return 0;
  HandleTable& t = table();
  std::lock_guard g(t.lock);
  auto it = t.handles.find(window);
  if (it != t.handles.end()) return it->second;
  HWND h = t.next;
  t.next += 4;
  if (t.next < 0x00010004) t.next = 0x00010004;
  t.objects.emplace(h, QPointer<QObject>(window));
  t.handles.emplace(window, h);
  QObject::connect(window, &QObject::destroyed, [h](QObject* gone) {
    HandleTable& tt = table();
    std::lock_guard g2(tt.lock);
    tt.objects.erase(h);
    tt.handles.erase(gone);
  });
  return h;
}

QObject* objectOf(HWND h) {
  HandleTable& t = table();
  std::lock_guard g(t.lock);
  auto it = t.objects.find(h);
  return it == t.objects.end() ? nullptr : it->second.data();
}

bool detail::withLiveObject(HWND h, const std::function<void(QObject*)>& f) {
  HandleTable& t = table();
  std::lock_guard g(t.lock);
  // The entry leaves in the window's destroyed signal, which takes this lock: a window being
  // deleted stays a whole QObject until `f` is done, and Qt drops what `f` posted to it.
  auto it = t.objects.find(h);
  QObject* o = it == t.objects.end() ? nullptr : it->second.data();
  if (!o) return false;
  f(o);
  return true;
}

}  // namespace ui
