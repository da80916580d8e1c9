// The editor's popup menus as plain lists, so that the model builds them and tests choose
// from them; the window shows them with QMenu unless a test has put a chooser in place.
#pragma once

#include "field_item.h"

#include <functional>
#include <string>
#include <vector>

namespace penwick {

/// One item of a popup menu; an item with children is a submenu, id 0 without text a separator.
struct CMenuItem {
  int id = 0;
  std::u16string text;
  bool enabled = true;
  std::vector<CMenuItem> children;
  bool IsSeparator() const { return id == 0 && text.empty() && children.empty(); }
};

/// \brief The model's entries as menu items, a separator after those that ask for one.
std::vector<CMenuItem> MenuItemsOf(const std::vector<MenuEntry>& entries);

/// Chooses an item of a menu instead of showing it: the chosen id, 0 for none.
using MenuChooser = std::function<int(const std::vector<CMenuItem>& items)>;
/// \brief Puts a chooser in place of every popup menu (empty: menus are shown again);
/// returns the previous one.
MenuChooser SetMenuChooser(MenuChooser chooser);
const MenuChooser& MenuChooserInUse();

}  // namespace penwick
