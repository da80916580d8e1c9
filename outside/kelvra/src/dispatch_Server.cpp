// Kelvra.Server's method table: dispatch identifiers, names and argument unpacking.
#include "Server.h"
#include "ids.h"

namespace kelvra {
namespace {
using T = CKelvraServer;
using com::DispArgs;
using com::DispResult;

const com::DispMethod<T> kMethods[] = {
    {1, u"GetErrorCode", 0, [](T& o, const DispArgs&, DispResult& r) { r.Long(o.GetErrorCode()); }},
    {2, u"Connect", 2, [](T& o, const DispArgs& a, DispResult& r) { r.Long(o.Connect(a.Text(0), a.Text(1))); }},
    {3, u"GetErrorText", 0, [](T& o, const DispArgs&, DispResult& r) { r.Text(o.GetErrorText()); }},
    {4, u"Login", 2, [](T& o, const DispArgs& a, DispResult& r) { r.Long(o.Login(a.Text(0), a.Text(1))); }},
    {5, u"Disconnect", 0, [](T& o, const DispArgs&, DispResult& r) { r.Long(o.Disconnect()); }},
};
}  // namespace

const com::IID& CKelvraServer::Iid() { return IID_IServer; }
std::span<const com::DispMethod<CKelvraServer>> CKelvraServer::Methods() { return kMethods; }

}  // namespace kelvra
