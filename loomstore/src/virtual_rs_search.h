// CServerSearch: one source of a CVirtualRs and the worker thread that searches it.
//
// The caller's thread creates the seven automation objects, sets the searcher up while its
// worker is idle and then lets it run one search; the worker calls the objects directly,
// reports through the owner and goes idle again. Whatever the caller's thread touches of a
// searcher it touches only while the worker is idle (Settle, Quit), so the two never share
// the objects or texts at the same time.
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
  /// Ends the worker, then lets go of the server, result set and connection.
  virtual ~CServerSearch();
  CServerSearch(const CServerSearch&) = delete;
  CServerSearch& operator=(const CServerSearch&) = delete;

  /// Reads what the source needs from its path, its query and Loomstore.ini (caller's
  /// thread, worker idle); starts the worker on first use.
  void SetUp(int32_t id, const std::u16string& path, const std::u16string& query, const std::u16string& user,
             const std::u16string& password, ui::HWND notify);
  /// Lets the worker run one search.
  void Resume();
  /// Abandons a running search (its sends give up, it posts nothing) and waits until the
  /// worker is idle.
  void Settle();
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
  int32_t SearchZ3950();
  int32_t SearchRecordServer();
  /// Sends a status text; false when the search is being abandoned.
  bool Status(const std::u16string& text);
  bool Abandoned() const { return m_cancel.load(); }
  void Quit();

  std::u16string m_name, m_host, m_database, m_from, m_query, m_user, m_group, m_password;
  std::u16string m_account, m_accountPassword;  // the owner's record-server account
  int32_t m_protocol = 0;                       // 1: Z39.50, 0: record server
  bool m_searchedZ3950 = false;
  std::atomic<int32_t> m_hits{0};

  CKelvraServerDriver m_server;
  CKelvraDbaseDriver m_dbase;
  CKelvraRecordSetDriver m_recordSet;
  CKelvraRecordDriver m_record;
  CZoomConnDriver m_conn;
  CZoomRsDriver m_rs;
  CZoomRecDriver m_rec;

  CVirtualRs& m_owner;
  ui::HWND m_notify = 0;
  int32_t m_id = 0;

  std::thread m_thread;
  std::mutex m_lock;
  std::condition_variable m_changed;
  bool m_running = false;  // a search is asked for or under way
  bool m_quit = false;
  std::atomic<bool> m_cancel{false};
};

}  // namespace loomstore
