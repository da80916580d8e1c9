// CServerConn: one server of the server list during one batch run, a Z39.50 server (zoom)
// or a database of the record server (Kelvra): connects, adapts the ISBN key to the
// server's rules, searches and fetches the hits as record texts (with record prefix).
#pragma once

#include <com/drivers/KelvraDrivers.h>
#include <com/drivers/ZoomDrivers.h>
#include <platform/text.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

using platform::u16;
using platform::u16v;

/// What a search needs of the window that runs it: the server status line, the message
/// drain and the running flag that the stop button clears.
class CSearchHost {
 public:
  virtual ~CSearchHost() = default;
  virtual void ShowServerStatus(const u16& text) = 0;
  virtual void DrainMessages() = 0;
  virtual bool IsRunning() const = 0;
};

class CServerConn {
 public:
  /// \brief Creates the seven automation objects (zoom.ZoomConn, zoom.ZoomRs, zoom.ZoomRec,
  /// Kelvra.Server, Kelvra.Dbase, Kelvra.RecordSet, Kelvra.Record).
  CServerConn();
  virtual ~CServerConn();
  CServerConn(const CServerConn&) = delete;
  CServerConn& operator=(const CServerConn&) = delete;

  /// \brief Parses a server list entry and connects (a reconnecting Z39.50 server connects
  /// at its first search); failures are reported and leave the connection unconnected.
  /// With `window` the window stays alive while a Z39.50 server is connected.
  void Open(u16v entry, CSearchHost* window = nullptr);
  /// \brief The query text for an ISBN key under this server's ISBN rules.
  u16 BuildQuery(u16v key) const;
  /// \brief Searches the key; the hit count (0 when nothing was found or the search failed),
  /// or kSearchStopped when the run was stopped while a Z39.50 server was being waited for.
  int32_t Search(u16v key, CSearchHost& host);
  /// What Search answers when the run was stopped while a Z39.50 server was being waited
  /// for: the item was not searched to its end, and the server's objects are left to the
  /// call that was given up (it ends within the connection's time-out).
  static constexpr int32_t kSearchStopped = -1;
  /// \brief Copies the first hit's text; its length, or 0 (no hit, or it does not fit).
  int32_t FirstRecord(char16_t* buffer, int32_t size);
  /// \brief Copies the next hit's text; its length, 0 when it does not fit, -1 when there
  /// is no further hit (also when the Z39.50 server was given up or its connection lost).
  int32_t NextRecord(char16_t* buffer, int32_t size);

  /// \brief ISBN-10 to ISBN-13 in place (hyphenated: "978-" in front).
  static void Isbn10To13(u16& key, bool hyphenated);
  /// \brief ISBN-13 to ISBN-10 in place.
  static void Isbn13To10(u16& key, bool hyphenated);
  /// \brief Inserts the hyphens into an unhyphenated ISBN-10 or ISBN-13.
  static void HyphenateIsbn(u16& key);

  // The parsed entry, readable for the status line and the tests.
  u16 host, database, user, password;
  bool reconnect = false;
  int32_t hyphenRule = 0;
  int32_t isbnRule = 0;
  bool isZ3950 = false;
  int32_t hits = -1;
  bool connected = false;
  int32_t cursor = -1;
  /// \brief Seconds of pause before a Z39.50 reconnection ([系统参数] 等待时间).
  int32_t waitSeconds = 12;

  // What became of a Z39.50 server during the run, for the run's end.
  /// The run was stopped while this server was being waited for: it is not used again.
  bool abandoned = false;
  /// The server did not answer within its time-out: each further item would wait for it as
  /// long, so it is searched no more in this run.
  bool down = false;
  /// Its failure has been told in a message box; later ones go to the status line.
  bool failureTold = false;
  /// Items whose search on this server failed for the server's sake (no connection, lost
  /// connection, no answer in time, answers of the wrong kind) or that skipped it as down.
  int32_t notSearched = 0;
  /// The error of the last fetch that gave no record text (0: the last fetch gave one).
  int32_t fetchError = 0;
  /// Items whose hit could not be fetched as a record, and the error of the last of them.
  int32_t fetchFailedItems = 0;
  int32_t lastFetchFailure = 0;

 private:
  struct ZoomObjects;
  bool ConnectZoom();
  u16 FetchText(int32_t index);
  /// Runs `call` on the zoom objects; with a host, on a thread of its own while the window
  /// stays alive. Nothing when the run was stopped during the call (then abandoned). The call
  /// may outlive this object: it holds what it needs itself, never this object.
  template <class R>
  std::optional<R> ZoomCall(std::function<R(ZoomObjects&)> call);
  /// A search's failure for the server's sake: counted, told once, then shown as the status.
  void ServerFailed(int32_t error, bool connecting);

  CSearchHost* host_ = nullptr;
  // The zoom objects, shared with a call given up at a stop, which lets go of them last.
  std::shared_ptr<ZoomObjects> zoom_;
  CKelvraServerDriver kelvraServer_;
  CKelvraDbaseDriver kelvraDbase_;
  CKelvraRecordSetDriver kelvraRecordSet_;
  CKelvraRecordDriver kelvraRecord_;
};
