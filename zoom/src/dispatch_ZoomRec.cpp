// IZoomRec's method table: dispatch identifiers, names and argument unpacking.
#include "ZoomRec.h"
#include "ids.h"

namespace zoom {
namespace {
using T = CZoomRec;
using com::DispArgs;
using com::DispResult;

const com::DispMethod<T> kMethods[] = {
    {1, u"GetRender", 0, [](T& o, const DispArgs&, DispResult& r) { r.Text(o.GetRender()); }},
    {2, u"GetRaw", 0, [](T& o, const DispArgs&, DispResult& r) { r.Text(o.GetRaw()); }},
    {3, u"GetOIDs", 0, [](T& o, const DispArgs&, DispResult& r) { r.Text(o.GetOIDs()); }},
    {4, u"GetXml", 0, [](T& o, const DispArgs&, DispResult& r) { r.Text(o.GetXml()); }},
    {5, u"AutoCvtEacc", 1, [](T& o, const DispArgs& a, DispResult& r) { r.Long(o.AutoCvtEacc(a.Long(0))); }},
};
}  // namespace

const com::IID& CZoomRec::Iid() { return IID_IZoomRec; }
std::span<const com::DispMethod<CZoomRec>> CZoomRec::Methods() { return kMethods; }

}  // namespace zoom
