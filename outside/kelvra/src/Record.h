// CKelvraRecord (Kelvra.Record): one record, loaded from a record set or saved into a database.
#pragma once

#include "RecordSet.h"

#include <loomkit/RecordText.h>

namespace kelvra {

class CKelvraRecord : public KelvraObject<CKelvraRecord> {
 public:
  int32_t Load(com::ComPtr<CKelvraRecordSet> recordSet, int32_t n);      // 1
  int32_t Save(com::ComPtr<CKelvraDbase> dbase, const std::u16string& text);  // 3
  int32_t GetNumber();                                                   // 6
  std::u16string GetText();                                              // 7

  static const com::IID& Iid();
  static std::span<const com::DispMethod<CKelvraRecord>> Methods();
  static com::ModuleLocks& Locks() { return KelvraLocks(); }

  /// \brief The record prefix in front of every text handed out.
  static constexpr std::u16string_view kPrefix = loomkit::kRecordPrefix;

 private:
  StoredRecord record_;
  bool loaded_ = false;
};

}  // namespace kelvra
