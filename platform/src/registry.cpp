// The registry calls over the hive files (registry_store.cpp).
#include <platform/registry.h>

#include "registry_store.h"

#include <mutex>

namespace platform {

struct RegKeyHandle {
  reg::Hive hive;
  std::vector<u16> path;  // names from the hive's root, in their stored case
  bool predefined = false;
};

namespace {

RegKeyHandle classesRoot{reg::ClassesRoot, {}, true};
RegKeyHandle currentUser{reg::CurrentUser, {}, true};

u16v nameOf(const char16_t* name) { return name ? u16v(name) : u16v(); }

// The node of a handle's key, or null when the key is gone.
reg::Node* walk(reg::Node& root, const std::vector<u16>& path) {
  reg::Node* n = &root;
  for (const u16& part : path)
    if (!(n = n->find(part))) return nullptr;
  return n;
}

HKEY newHandle(HKEY parent, std::vector<u16> path) {
  return new RegKeyHandle{parent->hive, std::move(path), false};
}

// Reads a key and answers `read` on its node; the hive is loaded for this one call.
template <class F>
LONG withKey(HKEY key, F&& read) {
  if (!key) return ERROR_INVALID_HANDLE;
  reg::Node root;
  reg::loadHive(key->hive, root);
  reg::Node* n = walk(root, key->path);
  if (!n) return key->predefined ? read(root) : ERROR_KEY_DELETED;
  return read(*n);
}

// Changes a key under the hive's write lock and writes the hive back when `edit` asks to
// (by answering ERROR_SUCCESS with `changed` set).
template <class F>
LONG changeKey(HKEY key, F&& edit) {
  if (!key) return ERROR_INVALID_HANDLE;
  reg::HiveWriter w(key->hive);
  if (!w.ok()) return ERROR_ACCESS_DENIED;
  reg::Node* n = walk(w.root(), key->path);
  if (!n) return ERROR_KEY_DELETED;
  bool changed = false;
  LONG rc = edit(*n, changed);
  if (rc == ERROR_SUCCESS && changed && !w.save()) return ERROR_ACCESS_DENIED;
  return rc;
}

std::mutex hookMutex;
ShellNotifyHook& hookSlot() {
  static ShellNotifyHook hook;
  return hook;
}

}  // namespace

const HKEY HKEY_CLASSES_ROOT = &classesRoot;
const HKEY HKEY_CURRENT_USER = &currentUser;

LONG RegOpenKeyEx(HKEY parent, const char16_t* subKey, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  return withKey(parent, [&](reg::Node& n) -> LONG {
    std::vector<u16> path = parent->path;
    reg::Node* at = &n;
    for (const u16& part : reg::splitPath(nameOf(subKey))) {
      if (!(at = at->find(part))) return ERROR_FILE_NOT_FOUND;
      path.push_back(at->name);
    }
    *result = newHandle(parent, std::move(path));
    return ERROR_SUCCESS;
  });
}

LONG RegCreateKeyEx(HKEY parent, const char16_t* subKey, HKEY* result, uint32_t* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  // Opening an existing key writes nothing, so it works on a store that cannot be written.
  if (RegOpenKeyEx(parent, subKey, result) == ERROR_SUCCESS) {
    if (disposition) *disposition = REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
  }
  std::vector<u16> path = parent ? parent->path : std::vector<u16>();
  LONG rc = changeKey(parent, [&](reg::Node& n, bool& changed) -> LONG {
    reg::Node* at = &n;
    for (const u16& part : reg::splitPath(nameOf(subKey))) {
      bool made = false;
      at = at->findOrAdd(part, &made);
      changed |= made;
      path.push_back(at->name);
    }
    return ERROR_SUCCESS;
  });
  if (rc != ERROR_SUCCESS) return rc;
  *result = newHandle(parent, std::move(path));
  if (disposition) *disposition = REG_CREATED_NEW_KEY;
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  if (!key) return ERROR_INVALID_HANDLE;
  if (!key->predefined) delete key;
  return ERROR_SUCCESS;
}

LONG RegSetValueEx(HKEY key, const char16_t* name, std::u16string_view value) {
  return changeKey(key, [&](reg::Node& n, bool& changed) -> LONG {
    if (auto* v = n.value(nameOf(name))) {
      changed = v->second != value;
      v->second = u16(value);
    } else {
      n.values.emplace_back(u16(nameOf(name)), u16(value));
      changed = true;
    }
    return ERROR_SUCCESS;
  });
}

LONG RegQueryValue(HKEY key, const char16_t* name, std::u16string& value) {
  return withKey(key, [&](reg::Node& n) -> LONG {
    auto* v = n.value(nameOf(name));
    if (!v) return ERROR_FILE_NOT_FOUND;
    value = v->second;
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteValue(HKEY key, const char16_t* name) {
  return changeKey(key, [&](reg::Node& n, bool& changed) -> LONG {
    for (auto it = n.values.begin(); it != n.values.end(); ++it) {
      if (equalsNoCase(it->first, nameOf(name))) {
        n.values.erase(it);
        changed = true;
        return ERROR_SUCCESS;
      }
    }
    return ERROR_FILE_NOT_FOUND;
  });
}

LONG RegEnumKeyEx(HKEY key, uint32_t index, char16_t* buf, uint32_t* size) {
  if (!buf || !size) return ERROR_INVALID_PARAMETER;
  return withKey(key, [&](reg::Node& n) -> LONG {
    if (index >= n.children.size()) return ERROR_NO_MORE_ITEMS;
    const u16& name = n.children[index]->name;
    if (*size < name.size() + 1) return ERROR_MORE_DATA;
    name.copy(buf, name.size());
    buf[name.size()] = 0;
    *size = uint32_t(name.size());
    return ERROR_SUCCESS;
  });
}

namespace {

// Deletes parent\subKey (a key below it, never parent itself); `tree` allows subkeys.
LONG deleteKey(HKEY parent, const char16_t* subKey, bool tree) {
  std::vector<u16> parts = reg::splitPath(nameOf(subKey));
  if (parts.empty()) return ERROR_INVALID_PARAMETER;
  u16 last = parts.back();
  parts.pop_back();
  return changeKey(parent, [&](reg::Node& n, bool& changed) -> LONG {
    reg::Node* owner = &n;
    for (const u16& part : parts)
      if (!(owner = owner->find(part))) return ERROR_FILE_NOT_FOUND;
    reg::Node* victim = owner->find(last);
    if (!victim) return ERROR_FILE_NOT_FOUND;
    if (!tree && !victim->children.empty()) return ERROR_ACCESS_DENIED;
    owner->remove(last);
    changed = true;
    return ERROR_SUCCESS;
  });
}

}  // namespace

LONG RegDeleteKey(HKEY parent, const char16_t* subKey) { return deleteKey(parent, subKey, false); }

LONG RegDeleteTree(HKEY parent, const char16_t* subKey) {
  if (!reg::splitPath(nameOf(subKey)).empty()) return deleteKey(parent, subKey, true);
  return changeKey(parent, [&](reg::Node& n, bool& changed) -> LONG {
    changed = !n.children.empty() || !n.values.empty();
    n.children.clear();
    n.values.clear();
    return ERROR_SUCCESS;
  });
}

ShellNotifyHook setShellNotifyHook(ShellNotifyHook hook) {
  std::lock_guard<std::mutex> g(hookMutex);
  std::swap(hookSlot(), hook);
  return hook;
}

void SHChangeNotify(int32_t eventId, uint32_t flags, const void* item1, const void* item2) {
  ShellNotifyHook hook;
  {
    std::lock_guard<std::mutex> g(hookMutex);
    hook = hookSlot();
  }
  if (hook) hook(eventId, flags, item1, item2);
}

}  // namespace platform
