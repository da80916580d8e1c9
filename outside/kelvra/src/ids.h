// Identifiers of the Kelvra classes: their CLSIDs and dispinterfaces.
#pragma once

#include <com/guid.h>

namespace kelvra {

inline constexpr com::CLSID CLSID_Server = com::makeGuid("6B480FF3-BF12-45B1-9BEF-15021AC6DA7C");
inline constexpr com::IID IID_IServer = com::makeGuid("D961CE0F-7585-40B9-90DB-48A0E878B374");
inline constexpr com::CLSID CLSID_Dbase = com::makeGuid("83A97FE0-DC4B-41A9-A41D-B4047FC0EC68");
inline constexpr com::IID IID_IDbase = com::makeGuid("2EC48D42-5B2C-4B1B-9A96-C5A53386EB1C");
inline constexpr com::CLSID CLSID_RecordSet = com::makeGuid("5A8095E3-07CC-49A0-8B92-28A6C3C6282B");
inline constexpr com::IID IID_IRecordSet = com::makeGuid("7066A7BC-A51D-4EC1-B5BB-398419015938");
inline constexpr com::CLSID CLSID_Record = com::makeGuid("D5B60F8D-DC43-454B-869A-2D73C0716597");
inline constexpr com::IID IID_IRecord = com::makeGuid("79192A80-BEE9-4FAA-8156-A1019E1C3CD8");

}  // namespace kelvra
