#include "dir_tree_ctrl.h"

#include "server_messages.h"

#include <loomstore/LoginDlg.h>
#include <loomstore/ProxyDlg.h>
#include <loomstore/RecordServerDlg.h>
#include <loomstore/ResPath.h>
#include <loomstore/ServerSettings.h>
#include <loomstore/Z3950ServerDlg.h>

#include <com/create.h>
#include <platform/comerror.h>
#include <platform/paths.h>
#include <platform/profile.h>
#include <platform/text.h>
#include <ui/dialog.h>
#include <ui/modal.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>

using loomstore::u16;
using loomstore::u16v;
using ui::qs;
using ui::toU16;

namespace {

constexpr int kKindRole = Qt::UserRole;
constexpr int kHasLoginRole = Qt::UserRole + 1;
constexpr int kUserRole = Qt::UserRole + 2;
constexpr int kPasswordRole = Qt::UserRole + 3;

// A log-in is kept in 64 characters with its terminator.
constexpr size_t kAccountChars = 63;

constexpr char16_t kRootText[] = u"我的资源";
constexpr char16_t kZoomXml[] = u"zoom.xml";

int KindOf(const QTreeWidgetItem* item) { return item ? item->data(0, kKindRole).toInt() : -1; }
u16 TextOf(const QTreeWidgetItem* item) { return toU16(item->text(0)); }

bool IsPlaceholder(const QTreeWidgetItem* item) { return item && item->text(0).isEmpty(); }
bool FirstChildIsPlaceholder(const QTreeWidgetItem* item) { return item->childCount() > 0 && IsPlaceholder(item->child(0)); }

void DeleteChildren(QTreeWidgetItem* item) { qDeleteAll(item->takeChildren()); }

QTreeWidgetItem* FindChild(QTreeWidgetItem* parent, u16v text) {
  if (text.empty()) return nullptr;  // a placeholder is never a step of a path
  for (int i = 0; i < parent->childCount(); ++i)
    if (TextOf(parent->child(i)) == text) return parent->child(i);
  return nullptr;
}

/// Shows the wait cursor while it lives.
struct WaitCursor {
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

// The six images in kind order, 16 x 16.
std::vector<QIcon> LoadImages(QStyle* style) {
  const QStyle::StandardPixmap pixmaps[] = {
      QStyle::SP_DirHomeIcon,           // ResIcon
      QStyle::SP_ComputerIcon,          // Computer
      QStyle::SP_DriveNetIcon,          // ZServer
      QStyle::SP_DriveHDIcon,           // DbaseIcon
      QStyle::SP_FileDialogDetailedView,  // XDbaseIcon
      QStyle::SP_FileIcon,              // FromIcon
  };
  std::vector<QIcon> out;
  for (QStyle::StandardPixmap p : pixmaps) out.push_back(QIcon(style->standardIcon(p).pixmap(16, 16)));
  return out;
}

// zoom.xml lies in the folder of this library's own file.
std::string ZoomXmlPath() {
  static const int anchor = 0;
  return platform::joinPath(platform::moduleFolder(&anchor), platform::toUtf8(kZoomXml));
}

}  // namespace

// ---- the window ----

CDirTreeView::CDirTreeView(CDirTreeCtrl* owner, QWidget* parent) : QTreeWidget(parent), owner_(owner) {}

void CDirTreeView::mousePressEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  if (e->button() == Qt::LeftButton && owner_->OnLButtonDown(pos)) return;
  if (e->button() == Qt::RightButton && owner_->OnRButtonDown(pos)) return;
  QTreeWidget::mousePressEvent(e);
}

void CDirTreeView::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && owner_->OnLButtonDblClk(e->position().toPoint())) return;
  QTreeWidget::mouseDoubleClickEvent(e);
}

void CDirTreeView::keyPressEvent(QKeyEvent* e) {
  const int key = e->key();
  if ((key == Qt::Key_Right || key == Qt::Key_Plus || key == Qt::Key_Asterisk) && owner_->OnOpenKey()) return;
  QTreeWidget::keyPressEvent(e);
}

// ---- the control ----

CDirTreeCtrl::CDirTreeCtrl() : iniFile_(loomstore::kSettingsFile), zoomXml_(xml::Document::create()) {
  com::CoInitialize(nullptr);
  // A component that is not installed leaves the wrappers empty: every call then fails
  // and is reported as a failed connection.
  server_.CreateDispatch(u"Kelvra.Server");
  dbase_.CreateDispatch(u"Kelvra.Dbase");
  zoomXml_.load(ZoomXmlPath());
}

CDirTreeCtrl::~CDirTreeCtrl() {
  zoomXml_.clear();
  delete view_.data();
}

void CDirTreeCtrl::Create(QWidget* parent, const QRect& rect, int id) {
  delete view_.data();
  view_ = new CDirTreeView(this, parent);
  ui::setControlId(view_, id);
  view_->setGeometry(rect);
  view_->setFocusPolicy(Qt::StrongFocus);
  view_->setHeaderHidden(true);
  view_->setRootIsDecorated(true);
  view_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  view_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->setIconSize(QSize(16, 16));
  images_ = LoadImages(view_->style());
  view_->show();
  Refresh();
}

QTreeWidgetItem* CDirTreeCtrl::AddNode(QTreeWidgetItem* parent, int index, const u16& text, int kind) {
  auto* item = new QTreeWidgetItem;
  item->setText(0, qs(text));
  item->setData(0, kKindRole, kind);
  if (kind >= 0 && size_t(kind) < images_.size()) item->setIcon(0, images_[size_t(kind)]);
  if (!parent) view_->addTopLevelItem(item);
  else if (index < 0) parent->addChild(item);
  else parent->insertChild(index, item);
  return item;
}

void CDirTreeCtrl::AddPlaceholder(QTreeWidgetItem* parent, int image) { AddNode(parent, -1, u16(), image); }

void CDirTreeCtrl::AddZ3950Databases(QTreeWidgetItem* server, u16v databases) {
  for (const u16& name : loomstore::SplitDatabases(databases)) {
    QTreeWidgetItem* db = AddNode(server, -1, name, kDatabase);
    if (depth_ == 5) AddPlaceholder(db, kFrom);
  }
}

void CDirTreeCtrl::ClearAll() {
  if (view_) view_->clear();
  root_ = nullptr;
}

void CDirTreeCtrl::Refresh() {
  if (!view_) return;
  ClearAll();
  root_ = AddNode(nullptr, -1, kRootText, kRoot);
  FillRoot();
  root_->setExpanded(true);
}

void CDirTreeCtrl::FillRoot() {
  const platform::ProfileFile ini(iniFile_);
  for (const u16& line : platform::profileSection(ini, loomstore::kServersSection, loomstore::kServersListSize)) {
    const size_t eq = line.find(u'=');
    const u16 name = line.substr(0, eq);
    const u16 value = eq == u16::npos ? u16(loomstore::kKindRecordServer) : line.substr(eq + 1);
    if (!platform::equalsNoCase(value, loomstore::kKindZ3950)) {
      QTreeWidgetItem* server = AddNode(root_, -1, name, kRecordServer);
      if (depth_ > 2) AddPlaceholder(server, kDatabase);
    } else if (showZ3950_) {
      QTreeWidgetItem* server = AddNode(root_, -1, name, kZ3950Server);
      if (depth_ > 2) AddZ3950Databases(server, platform::profileString(ini, name, loomstore::kKeyDatabases, u"", 256));
    }
  }
}

void CDirTreeCtrl::MoveWindow(const QRect& rect) {
  if (!view_) return;
  view_->setGeometry(rect);
  view_->update();
}

void CDirTreeCtrl::SetUniformUser(u16v user, u16v password) {
  uniform_.user = u16(user.substr(0, kAccountChars));
  uniform_.password = u16(password.substr(0, kAccountChars));
}

void CDirTreeCtrl::SetOption(int32_t depth, bool showZ3950) {
  depth_ = depth < 2 ? 2 : depth > 5 ? 5 : depth;
  showZ3950_ = showZ3950;
}

// ---- opening nodes ----

bool CDirTreeCtrl::OnExpandButton(QTreeWidgetItem* item, const QPoint& pos) const {
  const QRect r = view_->visualItemRect(item);
  return pos.x() < r.left() && pos.x() >= r.left() - view_->indentation();
}

bool CDirTreeCtrl::OnLButtonDown(const QPoint& pos) {
  QTreeWidgetItem* item = view_->itemAt(pos);
  if (!item || item->isExpanded() || !OnExpandButton(item, pos)) return false;
  return !OpenNode(item);
}

bool CDirTreeCtrl::OnLButtonDblClk(const QPoint& pos) {
  QTreeWidgetItem* item = view_->itemAt(pos);
  if (!item || item->isExpanded()) return false;
  return !OpenNode(item);
}

bool CDirTreeCtrl::OnOpenKey() {
  QTreeWidgetItem* item = view_->currentItem();
  if (!item || item->isExpanded()) return false;
  return !OpenNode(item);
}

// Loads the level below a node about to open; false when the click must not reach the tree.
bool CDirTreeCtrl::OpenNode(QTreeWidgetItem* item) {
  const int kind = KindOf(item);
  if (kind == kRecordServer && depth_ > 2 && FirstChildIsPlaceholder(item)) {
    ListDatabases(item);
    return false;
  }
  if ((kind == kDatabase || kind == kDocDatabase) && depth_ == 5 && FirstChildIsPlaceholder(item))
    return LoadFromsOfDatabase(item);
  return true;
}

bool CDirTreeCtrl::LoadFromsOfDatabase(QTreeWidgetItem* database) {
  if (KindOf(database->parent()) == kZ3950Server) {
    LoadZ3950Froms(database);
    return true;
  }
  return LoadFroms(database);
}

CDirTreeCtrl::Account CDirTreeCtrl::AccountOf(QTreeWidgetItem* server) const {
  if (!server->data(0, kHasLoginRole).toBool()) return uniform_;
  return {toU16(server->data(0, kUserRole).toString()), toU16(server->data(0, kPasswordRole).toString())};
}

// Connect and log in for one listing or loading; shows the failure and returns false.
bool CDirTreeCtrl::ConnectAndLogin(QTreeWidgetItem* server) {
  if (server_.Connect(TextOf(server), u"000") != 0) {
    ui::messageBox(view_, loomstore::msg::connectFailed(), QString(), ui::Icon::Error);
    return false;
  }
  const Account account = AccountOf(server);
  if (server_.Login(account.user, account.password) != 0) {
    server_.Disconnect();
    ui::messageBox(view_, loomstore::msg::loginFailed(), QString(), ui::Icon::Information);
    return false;
  }
  return true;
}

void CDirTreeCtrl::FailSession() {
  try {
    server_.Disconnect();
  } catch (const platform::ComError&) {
    // no object at all: nothing to end
  }
  ui::messageBox(view_, loomstore::msg::connectFailed(), QString(), ui::Icon::Error);
}

bool CDirTreeCtrl::ListDatabases(QTreeWidgetItem* server) {
  view_->setCurrentItem(server);
  WaitCursor wait;
  try {
    if (!ConnectAndLogin(server)) return false;
    dbase_.SetServer(server_.m_lpDispatch, -1);
    u16 list = dbase_.GetDatabaseList();
    if (FirstChildIsPlaceholder(server)) delete server->child(0);
    // Each name is followed by ";"; trailing text without one is not a name.
    for (size_t end; (end = list.find(u';')) != u16::npos; list.erase(0, end + 1)) {
      const u16 name = list.substr(0, end);
      const size_t dot = name.find(u'.');
      const u16 ext = dot == u16::npos ? u16(u".mrc") : name.substr(dot);
      const int kind = platform::equalsNoCase(ext, u".mrc") ? kDatabase : kDocDatabase;
      QTreeWidgetItem* db = AddNode(server, -1, name.substr(0, dot), kind);
      if (depth_ == 5) AddPlaceholder(db, kFrom);
    }
    server_.Disconnect();
  } catch (const platform::ComError&) {
    FailSession();
    return false;
  }
  server->setExpanded(true);
  return true;
}

bool CDirTreeCtrl::LoadFroms(QTreeWidgetItem* database) {
  view_->setCurrentItem(database);
  QTreeWidgetItem* server = database->parent();
  WaitCursor wait;
  u16 document;
  try {
    if (!ConnectAndLogin(server)) return false;
    if (dbase_.Open(server_.m_lpDispatch, TextOf(database)) != 0) {
      server_.Disconnect();
      ui::messageBox(view_, loomstore::msg::openFailed(), QString(), ui::Icon::Error);
      return false;
    }
    document = dbase_.GetDocument(u"from");
    server_.Disconnect();
  } catch (const platform::ComError&) {
    FailSession();
    return false;
  }
  if (document.empty()) return false;
  if (FirstChildIsPlaceholder(database)) delete database->child(0);
  xml::Document froms = xml::Document::create();
  if (!froms.loadXml(document) || !froms.documentElement()) return false;
  for (const xml::Node& from : froms.documentElement().childElements()) {
    // An element without a name would read as a placeholder.
    const u16 alias = from.getAttribute(u"alias").value_or(u16());
    if (!alias.empty()) AddNode(database, -1, alias, kFrom);
  }
  return true;
}

void CDirTreeCtrl::LoadZ3950Froms(QTreeWidgetItem* database) {
  if (FirstChildIsPlaceholder(database)) delete database->child(0);
  const xml::Node root = zoomXml_.documentElement();
  if (!root) return;
  for (const xml::Node& item : root.childElements()) {
    const u16 comment = item.getAttribute(u"comment").value_or(u16());
    if (!comment.empty()) AddNode(database, -1, comment, kFrom);
  }
}

// ---- reading the selection ----

QTreeWidgetItem* CDirTreeCtrl::Selected() const {
  if (!view_) return nullptr;
  QTreeWidgetItem* item = view_->currentItem();
  return item == root_ ? nullptr : item;
}

u16 CDirTreeCtrl::PathOf(QTreeWidgetItem* item, int* serverKind) const {
  u16 path;
  QTreeWidgetItem* node = item;
  for (; node->parent() && node->parent() != root_; node = node->parent()) path = u"/" + TextOf(node) + path;
  path = TextOf(node) + path;
  *serverKind = KindOf(node);
  return (*serverKind == kRecordServer ? u"qzap://" : u"z39.50://") + path;
}

int32_t CDirTreeCtrl::GetCurSelPath(char16_t* buf, int32_t size) {
  if (buf && size > 0) buf[0] = 0;
  QTreeWidgetItem* item = Selected();
  if (!item) return 0;
  int kind = 0;
  const u16 path = PathOf(item, &kind);
  platform::copyOut(path, buf, size);
  return kind;
}

int32_t CDirTreeCtrl::GetAllFroms(char16_t* buf, int32_t size) {
  if (buf && size > 0) buf[0] = 0;
  QTreeWidgetItem* db = Selected();
  if (!db) return 0;
  if (KindOf(db) == kFrom) {
    db = db->parent();
  } else if (KindOf(db) == kDatabase) {
    if (FirstChildIsPlaceholder(db)) {
      if (!LoadFromsOfDatabase(db)) return 0;
      db->setExpanded(true);
    }
  } else {
    return 0;
  }
  u16 froms;
  for (int i = 0; i < db->childCount(); ++i) froms += TextOf(db->child(i)) + u",";
  // The names are given only whole: a list that does not fit gives none.
  return platform::copyOut(froms, buf, size) ? int32_t(froms.size()) : 0;
}

int CDirTreeCtrl::GoTo(const char16_t* path) {
  if (!view_ || !root_ || !path) return 0;
  u16 text(path);
  text = text.substr(0, text.find(u'#'));
  CResPath parts(text.c_str());
  auto part = [&](int (CResPath::*get)(char16_t*, int32_t)) {
    std::vector<char16_t> buf(text.size() + 1);
    (parts.*get)(buf.data(), int32_t(buf.size()));
    return u16(buf.data());
  };
  QTreeWidgetItem* found = FindChild(root_, part(&CResPath::GetSvrName));
  if (!found) return 0;
  // A path that ends early selects its deepest node.
  if (depth_ > 2 && parts.GetPartNum() >= 3) {
    if (KindOf(found) == kRecordServer && FirstChildIsPlaceholder(found)) ListDatabases(found);
    found = FindChild(found, part(&CResPath::GetDbName));
    if (!found) return 0;
    if (depth_ == 5 && parts.GetPartNum() >= 4) {
      if (FirstChildIsPlaceholder(found)) LoadFromsOfDatabase(found);
      found = FindChild(found, part(&CResPath::GetFrom));
      if (!found) return 0;
    }
  }
  for (QTreeWidgetItem* p = found->parent(); p; p = p->parent()) p->setExpanded(true);
  view_->scrollToItem(found);
  view_->setCurrentItem(found);
  return 1;
}

// ---- the context menu and its commands ----

bool CDirTreeCtrl::OnRButtonDown(const QPoint& pos) {
  QTreeWidgetItem* item = view_->itemAt(pos);
  const int kind = KindOf(item);
  if (kind != kRoot && kind != kRecordServer && kind != kZ3950Server) return false;
  view_->setCurrentItem(item);
  auto* menu = new QMenu(view_);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->setObjectName(QString::number(kMenuId));
  auto add = [&](const char* text, int id, bool enabled = true) {
    QAction* a = menu->addAction(QString::fromUtf8(text));
    a->setObjectName(QString::number(id));
    a->setEnabled(enabled);
    QObject::connect(a, &QAction::triggered, view_, [this, id] { OnCommand(id); });
  };
  if (kind == kRoot) {
    menu->setTitle(QStringLiteral("Resource"));
    add("代理服务器设置", kCmdProxy);
    menu->addSeparator();
    add("增加新服务器", kCmdAddServerFirst);
    add("增加Z39.50服务器", kCmdAddZ3950First, showZ3950_);
  } else {
    menu->setTitle(QStringLiteral("Server"));
    add("服务器属性", kCmdProperties);
    add("重新登录", kCmdLogin);
    menu->addSeparator();
    add("增加新服务器", kCmdAddServerAfter);
    add("增加Z39.50服务器", kCmdAddZ3950After, showZ3950_);
    menu->addSeparator();
    add("删除本服务器", kCmdDeleteServer);
  }
  menu->popup(view_->viewport()->mapToGlobal(pos + QPoint(5, 8)));
  return true;
}

void CDirTreeCtrl::OnCommand(int id) {
  if (!view_ || !root_) return;
  QTreeWidgetItem* item = view_->currentItem();
  const int kind = KindOf(item);
  const bool onServer = kind == kRecordServer || kind == kZ3950Server;
  switch (id) {
    case kCmdProxy: {
      CProxyDlg dlg(view_);
      dlg.exec();
      break;
    }
    case kCmdAddServerFirst: AddServer(kRecordServer, true); break;
    case kCmdAddZ3950First: AddServer(kZ3950Server, true); break;
    case kCmdAddServerAfter: if (onServer) AddServer(kRecordServer, false); break;
    case kCmdAddZ3950After: if (onServer) AddServer(kZ3950Server, false); break;
    case kCmdProperties: if (onServer) EditServer(item); break;
    case kCmdLogin: if (onServer) Relogin(item); break;
    case kCmdDeleteServer: if (onServer) DeleteServer(item); break;
    default: break;
  }
}

bool CDirTreeCtrl::RunServerDialog(int kind, const u16& prevName, u16& name, u16& databases) {
  if (kind == kRecordServer) {
    CRecordServerDlg dlg(view_);
    dlg.m_prevName = prevName;
    if (dlg.exec() != ui::IDOK) return false;
    name = dlg.m_name;
    return true;
  }
  CZ3950ServerDlg dlg(view_);
  dlg.m_prevName = prevName;
  if (dlg.exec() != ui::IDOK) return false;
  name = dlg.m_name;
  databases = dlg.m_databases;
  return true;
}

void CDirTreeCtrl::AddServer(int kind, bool first) {
  QTreeWidgetItem* selected = view_->currentItem();
  const int index = first || !selected ? 0 : root_->indexOfChild(selected) + 1;
  QTreeWidgetItem* node = AddNode(root_, index, loomstore::kNewServerName, kind);
  view_->setCurrentItem(node);
  u16 name, databases;
  if (!RunServerDialog(kind, loomstore::kNewServerName, name, databases)) {
    delete node;
    return;
  }
  node->setText(0, qs(name));
  RewriteServers();
  if (depth_ <= 2) return;
  if (kind == kRecordServer) AddPlaceholder(node, kDatabase);
  else AddZ3950Databases(node, databases);
}

void CDirTreeCtrl::EditServer(QTreeWidgetItem* server) {
  const int kind = KindOf(server);
  const u16 prevName = TextOf(server);
  u16 name, databases;
  if (!RunServerDialog(kind, prevName, name, databases)) return;
  if (name != prevName) {
    server->setText(0, qs(name));
    RewriteServers();
  }
  if (kind == kZ3950Server && depth_ > 2) {
    DeleteChildren(server);
    AddZ3950Databases(server, databases);
  }
}

void CDirTreeCtrl::Relogin(QTreeWidgetItem* server) {
  const platform::ProfileFile ini(iniFile_);
  const u16 name = TextOf(server);
  CLoginDlg dlg(view_);
  dlg.m_server = name;
  if (KindOf(server) == kZ3950Server) {
    dlg.m_user = platform::profileString(ini, name, loomstore::kKeyUser, u"", loomstore::kAccountSize);
    dlg.m_password = platform::profileString(ini, name, loomstore::kKeyPass, u"", loomstore::kAccountSize);
    if (dlg.exec() != ui::IDOK) return;
    platform::writeProfileString(ini, name, loomstore::kKeyUser, dlg.m_user);
    platform::writeProfileString(ini, name, loomstore::kKeyPass, dlg.m_password);
    return;
  }
  const Account account = AccountOf(server);
  dlg.m_user = account.user;
  dlg.m_password = account.password;
  if (dlg.exec() != ui::IDOK) return;
  server->setData(0, kHasLoginRole, true);
  server->setData(0, kUserRole, qs(u16v(dlg.m_user).substr(0, kAccountChars)));
  server->setData(0, kPasswordRole, qs(u16v(dlg.m_password).substr(0, kAccountChars)));
  server->setExpanded(false);
  DeleteChildren(server);
  if (depth_ > 2) {
    AddPlaceholder(server, kDatabase);
    ListDatabases(server);
  }
}

void CDirTreeCtrl::DeleteServer(QTreeWidgetItem* server) {
  const u16 name = TextOf(server);
  const u16 text = platform::format(u"你确实要删除指定的服务器配置吗？\r\n\r\n\t[%s]", name);
  if (ui::messageBox(view_, qs(text), QString(), ui::Icon::Question, ui::MB_YESNO) == ui::IDNO) return;
  const platform::ProfileFile ini(iniFile_);
  platform::deleteProfileKey(ini, loomstore::kServersSection, name);
  platform::deleteProfileSection(ini, name);
  delete server;
}

// The server list follows the tree. Z39.50 servers the tree does not show keep their lines,
// so that hiding them never removes them from the file.
void CDirTreeCtrl::RewriteServers() {
  const platform::ProfileFile ini(iniFile_);
  std::vector<u16> lines;
  for (int i = 0; i < root_->childCount(); ++i) {
    QTreeWidgetItem* server = root_->child(i);
    lines.push_back(TextOf(server) + (KindOf(server) == kRecordServer ? u"=qzap" : u"=z39.50"));
  }
  if (!showZ3950_) {
    for (const u16& line : platform::profileSection(ini, loomstore::kServersSection, loomstore::kServersListSize)) {
      const size_t eq = line.find(u'=');
      if (eq != u16::npos && platform::equalsNoCase(u16v(line).substr(eq + 1), loomstore::kKindZ3950))
        lines.push_back(line);
    }
  }
  platform::writeProfileSection(ini, loomstore::kServersSection, lines);
}
