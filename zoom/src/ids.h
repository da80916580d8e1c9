// Identifiers of the Zoom type library: its classes, their interfaces and ProgIDs.
#pragma once

#include <com/guid.h>

namespace zoom {

inline constexpr com::GUID LIBID_Zoom = com::makeGuid("C5C862D4-1A6F-11D9-895C-0050BAC1BFD6");

inline constexpr com::CLSID CLSID_ZoomConn = com::makeGuid("C5C862E5-1A6F-11D9-895C-0050BAC1BFD6");
inline constexpr com::IID IID_IZoomConn = com::makeGuid("C5C862E4-1A6F-11D9-895C-0050BAC1BFD6");
inline constexpr com::CLSID CLSID_ZoomRs = com::makeGuid("C5C862E8-1A6F-11D9-895C-0050BAC1BFD6");
inline constexpr com::IID IID_IZoomRs = com::makeGuid("C5C862E7-1A6F-11D9-895C-0050BAC1BFD6");
inline constexpr com::CLSID CLSID_ZoomRec = com::makeGuid("C5C862ED-1A6F-11D9-895C-0050BAC1BFD6");
inline constexpr com::IID IID_IZoomRec = com::makeGuid("C5C862EC-1A6F-11D9-895C-0050BAC1BFD6");
inline constexpr com::CLSID CLSID_ZoomSvr = com::makeGuid("800EBE5D-DBB8-44F8-AF70-BFB671E5781B");
inline constexpr com::IID IID_IZoomSvr = com::makeGuid("C48FDB3E-39D3-4DE7-A3BF-669401468F31");

}  // namespace zoom
