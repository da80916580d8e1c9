#pragma once
// Exported classes of the toolkit keep default visibility.
#define LOOMKIT_API __attribute__((visibility("default")))
