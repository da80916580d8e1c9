// IZoomConn's method table: dispatch identifiers, names and argument unpacking.
#include "ZoomConn.h"
#include "ids.h"

namespace zoom {
namespace {
using T = CZoomConn;
using com::DispArgs;
using com::DispResult;

const com::DispMethod<T> kMethods[] = {
    {1, u"Connect", 2, [](T& o, const DispArgs& a, DispResult& r) { r.Long(o.Connect(a.Text(0), a.Text(1))); }},
    {2, u"GetOption", 1, [](T& o, const DispArgs& a, DispResult& r) { r.Text(o.GetOption(a.Text(0))); }},
    {3, u"GetOptionLong", 1, [](T& o, const DispArgs& a, DispResult& r) { r.Long(o.GetOptionLong(a.Text(0))); }},
    {4, u"SetOption", 2, [](T& o, const DispArgs& a, DispResult&) { o.SetOption(a.Text(0), a.Text(1)); }},
    {5, u"SetOptionLong", 2, [](T& o, const DispArgs& a, DispResult&) { o.SetOptionLong(a.Text(0), a.Long(1)); }},
    {6, u"Search", 3,
     [](T& o, const DispArgs& a, DispResult& r) { r.Object(o.Search(a.Text(0), a.Text(1), a.Text(2))); }},
    {7, u"Close", 0, [](T& o, const DispArgs&, DispResult&) { o.Close(); }},
    {8, u"SearchPqf", 1, [](T& o, const DispArgs& a, DispResult& r) { r.Object(o.SearchPqf(a.Text(0))); }},
};
}  // namespace

const com::IID& CZoomConn::Iid() { return IID_IZoomConn; }
std::span<const com::DispMethod<CZoomConn>> CZoomConn::Methods() { return kMethods; }

}  // namespace zoom
