#include <loomstore/QzDir.h>

#include "dir_tree_ctrl.h"

#include <ui/translations.h>

CQzDir::CQzDir() : m_pTree(new CDirTreeCtrl) {}

CQzDir::~CQzDir() { delete m_pTree; }

int CQzDir::Dirs(QWidget* parent, QRect rect, int32_t id) {
  ui::loadQtTranslations();
  m_pTree->Create(parent, rect, id);
  return 1;
}

void CQzDir::ClearAll() { m_pTree->ClearAll(); }

void CQzDir::Refresh() { m_pTree->Refresh(); }

void CQzDir::MoveWindow(const QRect* rect) {
  if (rect) m_pTree->MoveWindow(*rect);
}

void CQzDir::SetUniformUser(const char16_t* user, const char16_t* password) {
  m_pTree->SetUniformUser(user ? user : u"", password ? password : u"");
}

void CQzDir::SetOption(int32_t depth, int showZ3950) { m_pTree->SetOption(depth, showZ3950 != 0); }

int32_t CQzDir::GetCurSelPath(char16_t* buf, int32_t size) { return m_pTree->GetCurSelPath(buf, size); }

int32_t CQzDir::GetAllFroms(char16_t* buf, int32_t size) { return m_pTree->GetAllFroms(buf, size); }

int CQzDir::GoTo(const char16_t* path) { return m_pTree->GoTo(path); }
