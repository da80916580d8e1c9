// CQzDir: the directory of searchable sources in a window of the caller — the servers of
// Loomstore.ini, their databases and the databases' access points — from which the caller
// picks a node and reads its resource path. The work is done by the tree control it owns.
#pragma once

#include <loomstore/export.h>

#include <QRect>

#include <cstdint>

class QWidget;
class CDirTreeCtrl;

class LOOMSTORE_API CQzDir {
 public:
  /// \brief Makes the tree control, without a window yet.
  CQzDir();
  virtual ~CQzDir();
  CQzDir(const CQzDir&) = delete;
  CQzDir& operator=(const CQzDir&) = delete;

  /// \brief Creates the tree window as a visible child of `parent` at `rect`, carrying `id`,
  /// fills it from Loomstore.ini and expands the root; 1.
  int Dirs(QWidget* parent, QRect rect, int32_t id);
  /// \brief Deletes every node, the root included.
  void ClearAll();
  /// \brief Deletes every node and fills the tree again from the settings file.
  void Refresh();
  /// \brief Moves the window to `rect` and repaints it.
  void MoveWindow(const QRect* rect);
  /// \brief The account that logs in to record servers that have no log-in of their own
  /// (63 characters of each are kept).
  void SetUniformUser(const char16_t* user, const char16_t* password);
  /// \brief Levels shown (2 servers, 3-4 databases, 5 access points; clamped) and whether
  /// Z39.50 servers are shown; both apply from the next fill.
  void SetOption(int32_t depth, int showZ3950);
  /// \brief The resource path of the selected node into buf (when it fits with its NUL,
  /// else buf empty); the kind of its server (1 record server, 2 Z39.50), 0 for none or the root.
  int32_t GetCurSelPath(char16_t* buf, int32_t size);
  /// \brief The access points of the selected database (or of the selected access point's
  /// database), each followed by ","; their length, 0 when there are none or they do not fit.
  int32_t GetAllFroms(char16_t* buf, int32_t size);
  /// \brief Selects and shows the node of a resource path (a record reference's "#" part
  /// ignored), loading levels on the way; 0 when a step is not found.
  int GoTo(const char16_t* path);

 private:
  CDirTreeCtrl* m_pTree;
};
