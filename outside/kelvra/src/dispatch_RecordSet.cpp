// Kelvra.RecordSet's method table: dispatch identifiers, names and argument unpacking.
#include "RecordSet.h"
#include "ids.h"

namespace kelvra {
namespace {
using T = CKelvraRecordSet;
using com::DispArgs;
using com::DispResult;

const com::DispMethod<T> kMethods[] = {
    {2, u"GetCount", 1, [](T& o, const DispArgs& a, DispResult& r) { r.Long(o.GetCount(a.Long(0))); }},
    {3, u"Search", 2,
     [](T& o, const DispArgs& a, DispResult& r) { r.Long(o.Search(T::ObjectArg<CKelvraDbase>(0), a.Text(1))); }},
    {8, u"MoveFirst", 0, [](T& o, const DispArgs&, DispResult& r) { r.Long(o.MoveFirst()); }},
    {12, u"Move", 1, [](T& o, const DispArgs& a, DispResult& r) { r.Long(o.Move(a.Long(0))); }},
};
}  // namespace

const com::IID& CKelvraRecordSet::Iid() { return IID_IRecordSet; }
std::span<const com::DispMethod<CKelvraRecordSet>> CKelvraRecordSet::Methods() { return kMethods; }

}  // namespace kelvra
