// Loading profile files afresh and rewriting them atomically under a lock.
#pragma once

#include "profile_document.h"

#include <functional>
#include <string>

namespace platform::profile {

/// \brief The file as it is now (an empty UTF-8 document when it does not exist or cannot be read).
Document load(const std::string& path);

/// \brief Locks the file against other writers, loads it, lets `edit` change it and, when
/// `edit` answers true, replaces the file by the new text through a temporary file and a
/// rename. False when the file could not be locked, read or written.
bool update(const std::string& path, const std::function<bool(Document&)>& edit);

/// \brief True for files that hold passwords and are created readable by their owner only.
bool isPrivateFile(const std::string& path);

}  // namespace platform::profile
