// CServerConn: one server of the server list during one batch run, a Z39.50 server (zoom)
// or a database of the record server (Kelvra): connects, adapts the ISBN key to the
// server's rules, searches and fetches the hits as record texts (with record prefix).
#pragma once

#include <com/drivers/KelvraDrivers.h>
#include <com/drivers/ZoomDrivers.h>
#include <platform/text.h>

#include <cstdint>

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
  void Open(u16v entry);
  /// \brief The query text for an ISBN key under this server's ISBN rules.
  u16 BuildQuery(u16v key) const;
  /// \brief Searches the key; the hit count (0 when nothing was found or the search failed).
  int32_t Search(u16v key, CSearchHost& host);
  /// \brief Copies the first hit's text; its length, or 0 (no hit, or it does not fit).
  int32_t FirstRecord(char16_t* buffer, int32_t size);
  /// \brief Copies the next hit's text; its length, 0 when it does not fit, -1 when there
  /// is no further hit.
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

 private:
  bool ConnectZoom();
  u16 FetchText(int32_t index);

  CZoomConnDriver zoomConn_;
  CZoomRsDriver zoomRs_;
  CZoomRecDriver zoomRec_;
  CKelvraServerDriver kelvraServer_;
  CKelvraDbaseDriver kelvraDbase_;
  CKelvraRecordSetDriver kelvraRecordSet_;
  CKelvraRecordDriver kelvraRecord_;
};
