// The codes Kelvra.Server's GetErrorCode answers after a failed call.
#pragma once

#include <cstdint>

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
  kRetry = 66,              // the server was busy, its database changed or the connection was lost:
                            // reconnect and search again
};

}  // namespace kelvra
