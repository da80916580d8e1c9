// CVirtualRs: the searchers of a parallel search, their totals, and the moves over their
// concatenated hits.
#include "virtual_rs_search.h"

#include <platform/text.h>
#include <ui/handles.h>
#include <ui/messages.h>

#include <algorithm>
#include <vector>

using loomstore::CServerSearch;

namespace {

constexpr int32_t kLastFlag = 0x400;

// The items of a separated list; a separator at the very end adds no item, and an empty
// text has none.
std::vector<std::u16string> splitList(const char16_t* text, char16_t separator) {
  std::vector<std::u16string> items;
  std::u16string_view rest = text ? std::u16string_view(text) : std::u16string_view();
  while (!rest.empty()) {
    size_t at = rest.find(separator);
    items.emplace_back(rest.substr(0, at));
    if (at == std::u16string_view::npos) break;
    rest.remove_prefix(at + 1);
  }
  return items;
}

std::unique_ptr<platform::Semaphore> newSemaphore() { return std::make_unique<platform::Semaphore>(1, 1); }

}  // namespace

CVirtualRs::CVirtualRs() : m_semaphore(newSemaphore()) {}

CVirtualRs::~CVirtualRs() {
  // The workers post their totals under the semaphore: they end, or are abandoned and
  // never post again, before it goes.
  ClearAll();
  m_semaphore.reset();
}

void CVirtualRs::DeleteFrom(CServerSearch* first) {
  if (!first) return;
  m_last = first->m_prev;
  if (m_last) m_last->m_next = nullptr;
  else m_first = nullptr;
  for (CServerSearch* s = first; s;) {
    CServerSearch* next = s->m_next;
    if (s == m_current) m_current = nullptr;
    s->Discard();
    s = next;
  }
}

void CVirtualRs::ClearAll() {
  DeleteFrom(m_first);
  m_current = nullptr;
  m_total = 0;
  m_finished = 0;
  m_count = 0;
}

void CVirtualRs::SetOption(ui::HWND notify, unsigned int, const char16_t* account) {
  m_notify = notify;
  if (!account) return;
  std::u16string_view a(account);
  size_t slash = a.find(u'/');
  m_user = a.substr(0, slash);
  if (slash != std::u16string_view::npos) m_password = a.substr(slash + 1);
}

CServerSearch* CVirtualRs::At(int32_t position) {
  CServerSearch* s = m_first;
  for (int32_t i = 0; s && i < position; ++i) s = s->m_next;
  return s;
}

// Puts `fresh` into the list where `old` is.
void CVirtualRs::Replace(CServerSearch* old, CServerSearch* fresh) {
  fresh->m_prev = old->m_prev;
  fresh->m_next = old->m_next;
  if (old->m_prev) old->m_prev->m_next = fresh;
  else m_first = fresh;
  if (old->m_next) old->m_next->m_prev = fresh;
  else m_last = fresh;
}

int32_t CVirtualRs::Search(const char16_t* paths, const char16_t* queries) {
  std::vector<std::u16string> pathList = splitList(paths, u'+');
  std::vector<std::u16string> queryList = splitList(queries, u'&');
  const size_t pairs = std::min(pathList.size(), queryList.size());

  // No searcher of the last search may still report once the totals start again: those
  // beyond the new count go, and each still searching is abandoned to its worker, a new
  // searcher taking its place.
  DeleteFrom(At(int32_t(pairs)));
  for (CServerSearch* s = m_first; s;) {
    CServerSearch* next = s->m_next;
    if (s->Busy()) {
      CServerSearch* fresh = new CServerSearch(*this);
      Replace(s, fresh);
      if (s == m_current) m_current = nullptr;
      s->Discard();
    }
    s = next;
  }

  m_index = 0;
  m_total = 0;
  m_count = 0;
  m_finished = 0;
  // The current record belonged to the last search.
  m_current = nullptr;
  for (size_t i = 0; i < pairs; ++i) {
    CServerSearch* s = At(m_count);
    if (s) {
      s->CloseConnection();
    } else {
      s = new CServerSearch(*this);
      s->m_prev = m_last;
      if (m_last) m_last->m_next = s;
      else m_first = s;
      m_last = s;
    }
    s->SetUp(m_count, pathList[i], queryList[i], m_user, m_password, m_notify);
    ++m_count;
  }
  for (CServerSearch* s = m_first; s; s = s->m_next) s->Resume();
  return 0;
}

void CVirtualRs::Finished(CServerSearch& s) {
  m_semaphore->Wait();
  // Sources with very many hits together hold no more than a long holds: the total never wraps.
  m_total = int32_t(std::min<int64_t>(int64_t(m_total) + s.hits(), INT32_MAX));
  ++m_finished;
  int32_t high = s.id();
  if (m_finished >= m_count) high += kLastFlag;
  const uint32_t low = uint32_t(s.hits()) & 0xFFFF;
  ui::postMessage(s.notify(), WM_SEARCH_NOTIFY, SEARCH_NOTIFY_DONE,
                  ui::LPARAM((uint32_t(high & 0xFFFF) << 16) | low));
  m_semaphore->Release();
}

int32_t CVirtualRs::RecordNum() { return m_total; }

int CVirtualRs::MoveFirst() {
  for (CServerSearch* s = m_first; s; s = s->m_next) {
    if (s->hits() > 0) {
      m_current = s;
      m_index = 0;
      s->MoveFirst();
      return 1;
    }
  }
  m_current = nullptr;
  return 0;
}

int CVirtualRs::MoveNext() {
  if (!m_current) return 0;
  if (m_index < m_current->hits() - 1) {
    ++m_index;
    return 1;
  }
  for (CServerSearch* s = m_current->m_next; s; s = s->m_next) {
    m_current = s;
    m_index = 0;
    if (s->hits() > 0) {
      s->MoveFirst();
      return 1;
    }
  }
  return 0;
}

int CVirtualRs::GoTo(int32_t n) {
  if (n < 0 || n >= m_total) return 0;
  int64_t before = 0;
  for (CServerSearch* s = m_first; s; s = s->m_next) {
    if (n - before < s->hits()) {
      m_current = s;
      m_index = int32_t(n - before);
      s->MoveTo(m_index);
      return 1;
    }
    before += s->hits();
  }
  return 0;
}

int CVirtualRs::PrevPage(int32_t pageSize) {
  if (!m_current || pageSize < 0) return 0;
  const int64_t back = 2 * int64_t(pageSize);
  if (m_index >= back) {
    m_index -= int32_t(back);
    m_current->MoveTo(m_index);
    return 1;
  }
  int64_t preceding = m_index;
  for (CServerSearch* s = m_current->m_prev; s; s = s->m_prev) preceding += s->hits();
  int64_t remaining = back - m_index;
  for (CServerSearch* s = m_current->m_prev; s; s = s->m_prev) {
    if (s->hits() <= 0) continue;
    if (remaining <= s->hits()) {
      m_current = s;
      m_index = s->hits() - int32_t(remaining);
      s->MoveTo(m_index);
      return 1;
    }
    remaining -= s->hits();
  }
  return preceding > pageSize ? MoveFirst() : 0;
}

int32_t CVirtualRs::GetRecord(char16_t* ref, char16_t* buf, int32_t size) {
  // Only a searcher with hits holds records; one without may still be searching (a MoveNext
  // past the end leaves the last searcher current), and its objects are its worker's.
  if (!m_current || m_current->hits() <= 0) return 0;
  std::u16string reference, text;
  if (!m_current->Fetch(m_index, reference, text)) return 0;
  if (ref) {
    reference.resize(std::min<size_t>(reference.size(), kRefSize - 1));
    std::char_traits<char16_t>::copy(ref, reference.c_str(), reference.size() + 1);
  }
  return buf ? platform::copyOut(text, buf, size) : 0;
}

int32_t CVirtualRs::Stop() {
  ClearAll();
  m_semaphore = newSemaphore();
  return 0;
}
