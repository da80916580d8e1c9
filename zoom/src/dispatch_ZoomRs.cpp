// IZoomRs's method table: dispatch identifiers, names and argument unpacking.
#include "ZoomRs.h"
#include "ids.h"

namespace zoom {
namespace {
using T = CZoomRs;
using com::DispArgs;
using com::DispResult;

const com::DispMethod<T> kMethods[] = {
    {1, u"GetSize", 0, [](T& o, const DispArgs&, DispResult& r) { r.Long(o.GetSize()); }},
    {2, u"GetRecord", 1, [](T& o, const DispArgs& a, DispResult& r) { r.Object(o.GetRecord(a.Long(0))); }},
    {3, u"Delete", 0, [](T& o, const DispArgs&, DispResult&) { o.Delete(); }},
    {4, u"BriefRecord", 1, [](T& o, const DispArgs& a, DispResult& r) { r.Object(o.BriefRecord(a.Long(0))); }},
};
}  // namespace

const com::IID& CZoomRs::Iid() { return IID_IZoomRs; }
std::span<const com::DispMethod<CZoomRs>> CZoomRs::Methods() { return kMethods; }

}  // namespace zoom
