// Kelvra.Record's method table: dispatch identifiers, names and argument unpacking.
#include "Record.h"
#include "ids.h"

namespace kelvra {
namespace {
using T = CKelvraRecord;
using com::DispArgs;
using com::DispResult;

const com::DispMethod<T> kMethods[] = {
    {1, u"Load", 2,
     [](T& o, const DispArgs& a, DispResult& r) { r.Long(o.Load(T::ObjectArg<CKelvraRecordSet>(0), a.Long(1))); }},
    {3, u"Save", 2,
     [](T& o, const DispArgs& a, DispResult& r) { r.Long(o.Save(T::ObjectArg<CKelvraDbase>(0), a.Text(1))); }},
    {6, u"GetNumber", 0, [](T& o, const DispArgs&, DispResult& r) { r.Long(o.GetNumber()); }},
    {7, u"GetText", 0, [](T& o, const DispArgs&, DispResult& r) { r.Text(o.GetText()); }},
};
}  // namespace

const com::IID& CKelvraRecord::Iid() { return IID_IRecord; }
std::span<const com::DispMethod<CKelvraRecord>> CKelvraRecord::Methods() { return kMethods; }

}  // namespace kelvra
