// CVirtualRs: several sources searched at once, one worker thread per source, their hits
// then walked as one record set (first source first).
//
// Each source is a resource path with its own query: Z39.50 sources are searched through
// the zoom objects, record servers through the Kelvra objects. Workers report to the window
// given to SetOption with WM_SEARCH_NOTIFY:
//   wParam SEARCH_NOTIFY_STATUS (sent, the worker waits): lParam points to a status text
//     (UTF-16, NUL-terminated, at most 1,023 characters) valid only during the call;
//   wParam SEARCH_NOTIFY_DONE (posted when a source has finished): lParam's low word is
//     the source's hits cut to 16 bits, its high word the source's position in the search,
//     plus 0x400 when it was the last source of the search to finish.
// The window's thread must keep dispatching messages while searches run. No member waits for
// a worker that is inside a network call: Stop, ClearAll, a Search while searches run and the
// destructor abandon such a worker (it reports nothing more and releases its objects when its
// call returns), and the moves and GetRecord see only the sources that have finished.
#pragma once

#include <loomstore/export.h>

#include <platform/semaphore.h>
#include <ui/win.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

inline constexpr uint32_t WM_SEARCH_NOTIFY = ui::WM_USER + 100;
inline constexpr ui::WPARAM SEARCH_NOTIFY_STATUS = 15;
inline constexpr ui::WPARAM SEARCH_NOTIFY_DONE = 22;

namespace loomstore {
class CServerSearch;
}

class LOOMSTORE_API CVirtualRs {
 public:
  /// Room (in characters, with the NUL) that GetRecord's ref needs at most: a protocol,
  /// a server name under 128 characters, a database under 256 and a record number.
  static constexpr int32_t kRefSize = 512;

  /// \brief Account "public" with an empty password, no window, no source.
  CVirtualRs();
  /// \brief Ends every worker (a busy one is abandoned, not waited for), then lets go of
  /// the sources.
  virtual ~CVirtualRs();
  CVirtualRs(const CVirtualRs&) = delete;
  CVirtualRs& operator=(const CVirtualRs&) = delete;

  /// \brief Ends every worker (a running search is abandoned, no DONE is posted) and
  /// deletes every source; total and counts back to 0.
  void ClearAll();
  /// \brief The window of the notifications (`message` is not read: it is always
  /// WM_SEARCH_NOTIFY) and the record-server account "user/password" (split at the first
  /// "/"; without "/" only the user changes). Null account: unchanged.
  void SetOption(ui::HWND notify, unsigned int message, const char16_t* account);
  /// \brief Starts searching the paths ("+"-separated) with their queries ("&"-separated),
  /// paired in order until either list ends; returns 0. Searches still running are
  /// abandoned first. Without any pair every source is deleted and no message is posted.
  int32_t Search(const char16_t* paths, const char16_t* queries);
  /// \brief The hits of the sources that have finished the current search.
  int32_t RecordNum();
  /// \brief The first record of the first source with hits; 1, or 0 when there is none.
  int MoveFirst();
  /// \brief The next record, into the following sources with hits; 1, or 0 at the end.
  int MoveNext();
  /// \brief Record n (from 0) of the whole set; 0 (nothing changes) when n is negative or
  /// not below the total.
  int GoTo(int32_t n);
  /// \brief Back 2 x pageSize records from the current one, over earlier sources; at the
  /// first record when fewer precede it but more than pageSize; 0 without a current record,
  /// for a negative page size, or when it does not move.
  int PrevPage(int32_t pageSize);
  /// \brief The current record: its text (with its 8-character record prefix) into buf and
  /// its reference ("z39.50://server/database#n", "qzap://server/database#n") into ref,
  /// which needs room for kRefSize characters. Returns the text's length; 0 when there is no
  /// current record, it cannot be fetched, or the text does not fit with its NUL in size
  /// characters (buf is then untouched, ref already written).
  int32_t GetRecord(char16_t* ref, char16_t* buf, int32_t size);
  /// \brief ClearAll, then a fresh semaphore; returns 0. Posts no DONE message.
  int32_t Stop();

 private:
  friend class loomstore::CServerSearch;
  void Replace(loomstore::CServerSearch* old, loomstore::CServerSearch* fresh);
  void DeleteFrom(loomstore::CServerSearch* first);
  loomstore::CServerSearch* At(int32_t position);
  void Finished(loomstore::CServerSearch& s);

  std::unique_ptr<platform::Semaphore> m_semaphore;
  std::atomic<int32_t> m_total{0};  // written under the semaphore, read without it
  int32_t m_finished = 0;           // under the semaphore while workers run
  int32_t m_count = 0;              // set up by the current search; workers read it
  ui::HWND m_notify = 0;
  loomstore::CServerSearch* m_current = nullptr;
  std::u16string m_user = u"public";
  std::u16string m_password;
  loomstore::CServerSearch* m_first = nullptr;
  loomstore::CServerSearch* m_last = nullptr;
  int32_t m_index = 0;
};
