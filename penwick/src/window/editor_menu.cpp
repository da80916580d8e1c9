// Popup menus as lists, and the chooser that tests put in their place.
#include "editor_menu.h"

namespace penwick {

namespace {
MenuChooser& chooser() {
  static MenuChooser c;
  return c;
}
}  // namespace

std::vector<CMenuItem> MenuItemsOf(const std::vector<MenuEntry>& entries) {
  std::vector<CMenuItem> items;
  for (const MenuEntry& e : entries) {
    items.push_back({e.id, e.text, e.enabled, {}});
    if (e.separatorAfter) items.push_back({});
  }
  return items;
}

MenuChooser SetMenuChooser(MenuChooser c) {
  MenuChooser old = std::move(chooser());
  chooser() = std::move(c);
  return old;
}

const MenuChooser& MenuChooserInUse() { return chooser(); }

}  // namespace penwick
