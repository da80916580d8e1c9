// CServerConn: one server of the server list during one batch run. What every kind of server
// shares lives here: the parsed entry, the ISBN key adapted to the server's rules, the hit
// count and the walk over the hits, and what became of the server during the run. How a
// kind connects, what its query looks like, how it searches and how it fetches a hit is
// its own class's: CZ3950Conn (a Z39.50 server through zoom) and CKelvraConn (a database of
// the record server). ForEntry makes the kind that an entry names.
#pragma once

#include <platform/text.h>

#include <cstdint>
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
  /// \brief A new, unopened connection of the kind the entry's protocol names: a Z39.50
  /// server for "z39.50" (in any letter case), the record server for any other.
  static std::unique_ptr<CServerConn> ForEntry(u16v entry);

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
  int32_t hits = -1;
  bool connected = false;
  int32_t cursor = -1;
  /// \brief Seconds of pause before a reconnection ([系统参数] 等待时间), for a kind that
  /// connects anew for every search when the entry asks it to.
  int32_t waitSeconds = 12;

  // What became of the server during the run, for the run's end.
  /// The run was stopped while this server was being waited for: it is not used again.
  bool abandoned = false;
  /// Items whose search on this server failed for the server's sake (no connection, lost
  /// connection, no answer in time, answers of the wrong kind) or that skipped it as down.
  int32_t notSearched = 0;
  /// The error of the last fetch that gave no record text (0: the last fetch gave one).
  int32_t fetchError = 0;
  /// Items whose hit could not be fetched as a record, and the error of the last of them.
  int32_t fetchFailedItems = 0;
  int32_t lastFetchFailure = 0;

 protected:
  CServerConn() = default;

  /// The host text of the entry's server (Open sets `host` to it).
  virtual u16 HostOf(const u16& server) const { return server; }
  /// Connects at Open, the entry parsed; failures are told and leave it unconnected.
  virtual void Connect() = 0;
  /// The query text of a key already adapted to the ISBN rules.
  virtual u16 QueryOf(const u16& key) const = 0;
  /// Searches `query`: the hit count (below 0: none), or nothing when the run was stopped
  /// during the search.
  virtual std::optional<int32_t> Find(const u16& query, CSearchHost& window) = 0;
  /// The text of hit `index` (counted from 0, the hits fetched in order); empty when it did
  /// not come, with fetchError saying why where the kind knows.
  virtual u16 FetchText(int32_t index) = 0;
  /// Whether a further hit can still come, however many the search claimed.
  virtual bool CanFetchMore() const { return true; }

  /// The window of the current search (or of the Open), when there is one.
  CSearchHost* host_ = nullptr;
};
