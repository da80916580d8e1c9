// ADODB.Connection's method table: dispatch identifiers, names and argument unpacking.
#include "Connection.h"
#include "ids.h"

namespace ado {
namespace {
using T = CAdoConnection;
using com::DispArgs;
using com::DispResult;

const com::DispMethod<T> kMethods[] = {
    {DISPID_ConnectionTimeout, u"ConnectionTimeout", 1,
     [](T& o, const DispArgs& a, DispResult&) { o.ConnectionTimeout(a.Long(0)); }},
    {DISPID_Close, u"Close", 0, [](T& o, const DispArgs&, DispResult&) { o.Close(); }},
    {DISPID_Execute, u"Execute", 2,
     [](T& o, const DispArgs& a, DispResult& r) {
       o.Execute(a.Text(0), a.Long(1));
       r.Object(com::ComPtr<com::IDispatch>());
     }},
    {DISPID_Open, u"Open", 4,
     [](T& o, const DispArgs& a, DispResult&) { o.Open(a.Text(0), a.Text(1), a.Text(2), a.Long(3)); }},
    {DISPID_State, u"State", 0, [](T& o, const DispArgs&, DispResult& r) { r.Long(o.State()); }},
};
}  // namespace

const com::IID& CAdoConnection::Iid() { return IID_Connection; }
std::span<const com::DispMethod<CAdoConnection>> CAdoConnection::Methods() { return kMethods; }

}  // namespace ado
