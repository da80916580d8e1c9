// IZoomSvr's method table: dispatch identifiers, names and argument unpacking.
#include "ZoomSvr.h"
#include "ids.h"

namespace zoom {
namespace {
using T = CZoomSvr;
using com::DispArgs;
using com::DispResult;

const com::DispMethod<T> kMethods[] = {
    {1, u"Startup", 3,
     [](T& o, const DispArgs& a, DispResult& r) { r.Long(o.Startup(a.Long(0), a.Long(1), a.Long(2))); }},
    {2, u"GetPeerName", 0, [](T& o, const DispArgs&, DispResult& r) { r.Text(o.GetPeerName()); }},
    {3, u"SetRsCount", 1, [](T& o, const DispArgs& a, DispResult&) { o.SetRsCount(a.Long(0)); }},
    {4, u"SetRecord", 1, [](T& o, const DispArgs& a, DispResult&) { o.SetRecord(a.Text(0)); }},
    {5, u"Cleanup", 0, [](T& o, const DispArgs&, DispResult&) { o.Cleanup(); }},
    {6, u"GetQuery", 0, [](T& o, const DispArgs&, DispResult& r) { r.Text(o.GetQuery()); }},
};
}  // namespace

const com::IID& CZoomSvr::Iid() { return IID_IZoomSvr; }
std::span<const com::DispMethod<CZoomSvr>> CZoomSvr::Methods() { return kMethods; }

}  // namespace zoom
