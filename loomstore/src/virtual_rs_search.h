// CServerSearch: one source of a CVirtualRs and the worker thread that searches it.
//
// The caller's thread creates the seven automation objects, sets the searcher up while its
// worker is idle and then lets it run one search; the worker calls the objects directly,
// reports through the owner and goes idle again. Whatever the caller's thread touches of a
// searcher it touches only while the worker is idle, so the two never share the objects or
// texts at the same time.
//
// A searcher is never waited for while its worker is inside a call: Discard gives a busy
// searcher to its worker, which owns it from then on (it reports nothing more, and deletes
// it with its objects as soon as its call returns, whatever became of the owner and its
// window). An idle worker is ended and joined at once.
#pragma once

#include <loomstore/VirtualRs.h>

#include <com/drivers/KelvraDrivers.h>
#include <com/drivers/ZoomDrivers.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace loomstore {

class CServerSearch {
 public:
  /// Creates the three zoom objects, then the four record-server objects, by ProgID.
  explicit CServerSearch(CVirtualRs& owner);
  /// Lets go of the server, result set and connection (the worker has ended).
  virtual ~CServerSearch();
  CServerSearch(const CServerSearch&) = delete;
  CServerSearch& operator=(const CServerSearch&) = delete;

  /// Reads what the source needs from its path, its query and Loomstore.ini (caller's
  /// thread, worker idle); starts the worker on first use.
  void SetUp(int32_t id, const std::u16string& path, const std::u16string& query, const std::u16string& user,
             const std::u16string& password, ui::HWND notify);
  /// Lets the worker run one search.
  void Resume();
  /// Whether the worker is searching (then nothing of the searcher may be touched).
  bool Busy();
  /// Ends the searcher without waiting for a call in progress: an idle one is deleted now,
  /// a busy one abandoned (its sends give up, it posts nothing) and left to its worker.
  /// The pointer is not valid afterwards.
  void Discard();
  /// Closes the zoom connection of an earlier Z39.50 search (worker idle).
  void CloseConnection();

  /// Fetches record `index` of the last search: text and reference, false when it fails.
  bool Fetch(int32_t index, std::u16string& ref, std::u16string& text);
  /// Positions the record server's set as the moves over the whole set ask.
  void MoveFirst();
  void MoveTo(int32_t index);

  int32_t hits() const { return m_hits; }
  int32_t id() const { return m_id; }
  ui::HWND notify() const { return m_notify; }

  CServerSearch* m_next = nullptr;
  CServerSearch* m_prev = nullptr;

 private:
  void Run();
  /// The end of one search: reports it unless abandoned; true when the worker now owns the
  /// searcher and must delete it.
  bool EndSearch(int32_t hits);
  int32_t SearchZ3950();
  int32_t SearchRecordServer();
  /// Sends a status text; false when the search is being abandoned.
  bool Status(const std::u16string& text);
  bool Abandoned() const { return m_cancel.load(); }

  std::u16string m_name, m_host, m_database, m_from, m_query, m_user, m_group, m_password;
  std::u16string m_account, m_accountPassword;  // the owner's record-server account
  int32_t m_protocol = 0;                       // 1: Z39.50, 0: record server
  bool m_searchedZ3950 = false;
  // Set by the worker at the end of a search, together with its idle state: hits above 0
  // mean the worker is done with the objects.
  std::atomic<int32_t> m_hits{0};

  CKelvraServerDriver m_server;
  CKelvraDbaseDriver m_dbase;
  CKelvraRecordSetDriver m_recordSet;
  CKelvraRecordDriver m_record;
  CZoomConnDriver m_conn;
  CZoomRsDriver m_rs;
  CZoomRecDriver m_rec;

  CVirtualRs& m_owner;  // touched by the worker only under m_lock while not abandoned
  ui::HWND m_notify = 0;
  int32_t m_id = 0;

  std::thread m_thread;
  std::mutex m_lock;
  std::condition_variable m_changed;
  bool m_running = false;  // a search is asked for or under way
  bool m_quit = false;     // the idle worker ends
  bool m_orphan = false;   // discarded while busy: the worker deletes the searcher
  std::atomic<bool> m_cancel{false};
};

}  // namespace loomstore
