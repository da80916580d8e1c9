#pragma once
// Exported classes of the data-access library keep default visibility.
#define LOOMSTORE_API __attribute__((visibility("default")))
