// The codes Kelvra.Server's GetErrorCode answers after a failed call, and the texts that
// GetErrorText and kelvra-admin give for them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvra {

enum Error : int32_t {
  kOk = 0,
  kNoSuchServer = 1,        // Connect: no local or shared server of that name on this workstation
  kBadHost = 2,             // Connect: empty name, or a port that is not a number
  kNotConnected = 3,        // a call that needs a connected server
  kLoginFailed = 4,         // Login: unknown account or wrong password
  kNotLoggedIn = 5,         // a call that needs a logged-in account
  kNoSuchDatabase = 6,      // Open: no database of that name
  kNotRecordDatabase = 7,   // Search or Save on a document database
  kDatabaseNotOpen = 8,     // a call that needs an open database
  kBadQuery = 9,            // Search: the query text does not parse
  kBadRecord = 10,          // Save: not internal record text behind an 8-character prefix
  kNoSuchRecord = 11,       // Load: no hit at that position
  kStorage = 12,            // the server's file or database could not be reached, read or written
  kNoSearch = 13,           // Load from a record set that holds no search
  kInDoubt = 14,            // Save: the connection was lost while the record was being committed and
                            // the server could not be asked since whether it was stored
  kRetry = 66,              // the server was busy, its database changed or the connection was lost:
                            // reconnect and search again; also every call that found no answer
                            // within the server's time limit
};

/// \brief "code N" with the database's own reason after it ("code 12: permission denied for
/// table records"), or "code N" alone when there is none.
std::string codeAndReason(int32_t code, std::string_view reason);

/// \brief What a failure means, with its code and reason in brackets: "the record server's
/// database refused or failed (code 12: permission denied for table records)"; empty for kOk.
std::string errorText(int32_t code, std::string_view reason);

}  // namespace kelvra
