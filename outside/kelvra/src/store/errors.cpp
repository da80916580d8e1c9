// The texts of the failure codes.
#include "errors.h"

namespace kelvra {

std::string codeAndReason(int32_t code, std::string_view reason) {
  std::string out = "code " + std::to_string(code);
  if (!reason.empty()) out += ": " + std::string(reason);
  return out;
}

std::string errorText(int32_t code, std::string_view reason) {
  const char* what = nullptr;
  switch (code) {
    case kOk: return {};
    case kNoSuchServer: what = "no record server of that name on this workstation"; break;
    case kBadHost: what = "not a usable server name, port or database name"; break;
    case kNotConnected: what = "not connected"; break;
    case kLoginFailed: what = "unknown account or wrong password"; break;
    case kNotLoggedIn: what = "not logged in"; break;
    case kNoSuchDatabase: what = "no such database"; break;
    case kNotRecordDatabase: what = "not a record database"; break;
    case kDatabaseNotOpen: what = "no database open"; break;
    case kBadQuery: what = "not a query"; break;
    case kBadRecord: what = "not internal record text"; break;
    case kNoSuchRecord: what = "no such record"; break;
    case kStorage: what = "the record server's database refused or failed"; break;
    case kNoSearch: what = "no search made"; break;
    case kInDoubt: what = "the connection was lost while the record was being committed: it may be stored"; break;
    case kRetry: what = "the record server went away, was busy or did not answer in time: connect again and retry"; break;
    default: what = "failed"; break;
  }
  return std::string(what) + " (" + codeAndReason(code, reason) + ")";
}

}  // namespace kelvra
