// CDirTreeCtrl: the tree behind CQzDir. Node kinds are the image indexes: 0 the root, 1 a
// record server, 2 a Z39.50 server, 3 a record database (and every Z39.50 database), 4 a
// document database, 5 an access point. A child with empty text is a placeholder: the level
// below is loaded from the server or from zoom.xml when the node is first opened.
#pragma once

#include <com/drivers/KelvraDrivers.h>
#include <xml/dom.h>

#include <QIcon>
#include <QPointer>
#include <QRect>
#include <QTreeWidget>

#include <string>
#include <vector>

class CDirTreeCtrl;

/// The window of the control: hands the mouse to the control before the tree's own handling.
class CDirTreeView : public QTreeWidget {
 public:
  CDirTreeView(CDirTreeCtrl* owner, QWidget* parent);

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  CDirTreeCtrl* owner_;
};

class CDirTreeCtrl {
 public:
  enum Kind { kRoot = 0, kRecordServer, kZ3950Server, kDatabase, kDocDatabase, kFrom };
  enum Command {
    kCmdLogin = 32771,
    kCmdAddServerAfter = 32772,
    kCmdDeleteServer = 32773,
    kCmdAddServerFirst = 32774,
    kCmdAddZ3950First = 32776,
    kCmdAddZ3950After = 32778,
    kCmdProperties = 32779,
    kCmdProxy = 32780,
  };
  /// The id of the context menu resource, with pop-up 0 for the root and 1 for a server.
  static constexpr int kMenuId = 5004;

  CDirTreeCtrl();
  ~CDirTreeCtrl();

  void Create(QWidget* parent, const QRect& rect, int id);
  QTreeWidget* view() const { return view_; }

  void ClearAll();
  void Refresh();
  void MoveWindow(const QRect& rect);
  void SetUniformUser(std::u16string_view user, std::u16string_view password);
  void SetOption(int32_t depth, bool showZ3950);
  int32_t GetCurSelPath(char16_t* buf, int32_t size);
  int32_t GetAllFroms(char16_t* buf, int32_t size);
  int GoTo(const char16_t* path);

  // Mouse input from the window; true when the press is used up here.
  bool OnLButtonDown(const QPoint& pos);
  bool OnLButtonDblClk(const QPoint& pos);
  bool OnRButtonDown(const QPoint& pos);
  /// The keys that open the current node (Right, +, *) load it as a click does.
  bool OnOpenKey();
  void OnCommand(int id);

 private:
  struct Account {
    std::u16string user, password;
  };

  QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, int index, const std::u16string& text, int kind);
  void AddPlaceholder(QTreeWidgetItem* parent, int image);
  void AddZ3950Databases(QTreeWidgetItem* server, std::u16string_view databases);
  void FillRoot();
  bool OpenNode(QTreeWidgetItem* item);
  bool OnExpandButton(QTreeWidgetItem* item, const QPoint& pos) const;

  // Loading a level; each record-server call is one connect, log-in, disconnect.
  bool ListDatabases(QTreeWidgetItem* server);
  bool LoadFroms(QTreeWidgetItem* database);
  void LoadZ3950Froms(QTreeWidgetItem* database);
  bool LoadFromsOfDatabase(QTreeWidgetItem* database);
  bool ConnectAndLogin(QTreeWidgetItem* server);
  /// After a failed call: ends the session and reports the failed connection.
  void FailSession();
  Account AccountOf(QTreeWidgetItem* server) const;

  std::u16string PathOf(QTreeWidgetItem* item, int* serverKind) const;
  QTreeWidgetItem* Selected() const;
  void RewriteServers();

  void AddServer(int kind, bool first);
  void EditServer(QTreeWidgetItem* server);
  void Relogin(QTreeWidgetItem* server);
  void DeleteServer(QTreeWidgetItem* server);
  /// Runs the property dialog of the server's kind; the new name and, for Z39.50, its
  /// databases after OK; false when cancelled.
  bool RunServerDialog(int kind, const std::u16string& prevName, std::u16string& name, std::u16string& databases);

  Account uniform_{u"public", u""};
  int32_t depth_ = 5;
  bool showZ3950_ = true;
  QTreeWidgetItem* root_ = nullptr;
  std::vector<QIcon> images_;
  CKelvraServerDriver server_;
  CKelvraDbaseDriver dbase_;
  std::u16string iniFile_;
  xml::Document zoomXml_;
  QPointer<CDirTreeView> view_;
};
