// Dispatch wrappers of the record server's automation classes (Kelvra.Server, Kelvra.Dbase,
// Kelvra.RecordSet, Kelvra.Record): each method calls the object's method of the same name
// by its dispatch identifier. Object parameters take the other wrappers' objects
// (m_lpDispatch); the callee takes its own reference.
#pragma once

#include <com/drivers/DispatchDriver.h>

/// The base of the four wrappers: passes objects as arguments.
class CKelvraDriver : public com::DispatchDriver {
 public:
  using DispatchDriver::DispatchDriver;

 protected:
  /// \brief An object argument (null: an empty object).
  static Arg ObjectArg(com::IDispatch* d);
};

class CKelvraServerDriver : public CKelvraDriver {
 public:
  using CKelvraDriver::CKelvraDriver;
  int32_t GetErrorCode();
  int32_t Connect(std::u16string_view host, std::u16string_view code);
  /// \brief The last failure in words, with its code and the database's own reason.
  std::u16string GetErrorText();
  int32_t Login(std::u16string_view user, std::u16string_view password);
  int32_t Disconnect();
};

class CKelvraDbaseDriver : public CKelvraDriver {
 public:
  using CKelvraDriver::CKelvraDriver;
  std::u16string GetDatabaseList();
  int32_t SetServer(com::IDispatch* server, int32_t reserved);
  int32_t Open(com::IDispatch* server, std::u16string_view database);
  std::u16string GetDocument(std::u16string_view name);
};

class CKelvraRecordSetDriver : public CKelvraDriver {
 public:
  using CKelvraDriver::CKelvraDriver;
  /// GetCount's argument for the hits of the last search.
  static constexpr int32_t kLastSearchHits = 0x5103;
  int32_t GetCount(int32_t reserved);
  int32_t Search(com::IDispatch* dbase, std::u16string_view query);
  int32_t MoveFirst();
  int32_t Move(int32_t n);
};

class CKelvraRecordDriver : public CKelvraDriver {
 public:
  using CKelvraDriver::CKelvraDriver;
  int32_t Load(com::IDispatch* recordSet, int32_t n);
  int32_t Save(com::IDispatch* dbase, std::u16string_view text);
  int32_t GetNumber();
  std::u16string GetText();
};
