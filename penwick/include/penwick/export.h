#pragma once
// Exported classes of the editor control keep default visibility.
#define PENWICK_API __attribute__((visibility("default")))
