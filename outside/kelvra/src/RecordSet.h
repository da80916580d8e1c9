// CKelvraRecordSet (Kelvra.RecordSet): the hits of one search, in record-number order.
#pragma once

#include "Dbase.h"

#include <vector>

namespace kelvra {

class CKelvraRecordSet : public KelvraObject<CKelvraRecordSet> {
 public:
  int32_t GetCount(int32_t reserved);                                           // 2
  int32_t Search(com::ComPtr<CKelvraDbase> dbase, const std::u16string& query);  // 3
  int32_t MoveFirst();                                                          // 8
  int32_t Move(int32_t n);                                                      // 12

  static const com::IID& Iid();
  static std::span<const com::DispMethod<CKelvraRecordSet>> Methods();
  static com::ModuleLocks& Locks() { return KelvraLocks(); }

  /// \brief The hit that Record.Load(set, n) loads, with its text; false (reason recorded
  /// on the server) when there is none. After Search the set is read in order: n = 0 is
  /// the first hit and each later n counts on from the hit loaded last (1: the next).
  /// MoveFirst or Move make the set positioned: n is then the hit's index from 0.
  bool Fetch(int32_t n, StoredRecord& out);

 private:
  com::ComPtr<CKelvraServer> server_;
  std::shared_ptr<Store> store_;
  int64_t database_ = 0;
  std::vector<int32_t> hits_;
  bool searched_ = false;
  bool positioned_ = false;
  int32_t cursor_ = 0;
};

}  // namespace kelvra
