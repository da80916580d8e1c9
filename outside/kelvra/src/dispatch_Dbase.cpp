// Kelvra.Dbase's method table: dispatch identifiers, names and argument unpacking.
#include "Dbase.h"
#include "ids.h"

namespace kelvra {
namespace {
using T = CKelvraDbase;
using com::DispArgs;
using com::DispResult;

const com::DispMethod<T> kMethods[] = {
    {1, u"GetDatabaseList", 0, [](T& o, const DispArgs&, DispResult& r) { r.Text(o.GetDatabaseList()); }},
    {6, u"SetServer", 2,
     [](T& o, const DispArgs& a, DispResult& r) { r.Long(o.SetServer(T::ObjectArg<CKelvraServer>(0), a.Long(1))); }},
    {7, u"Open", 2,
     [](T& o, const DispArgs& a, DispResult& r) { r.Long(o.Open(T::ObjectArg<CKelvraServer>(0), a.Text(1))); }},
    {9, u"GetDocument", 1, [](T& o, const DispArgs& a, DispResult& r) { r.Text(o.GetDocument(a.Text(0))); }},
};
}  // namespace

const com::IID& CKelvraDbase::Iid() { return IID_IDbase; }
std::span<const com::DispMethod<CKelvraDbase>> CKelvraDbase::Methods() { return kMethods; }

}  // namespace kelvra
