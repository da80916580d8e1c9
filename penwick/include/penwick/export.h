#pragma once
// The editor control (libPenwick.so) is built with hidden visibility: it exports the
// classes and functions of its include/ headers marked PENWICK_API, and nothing else.
#define PENWICK_API __attribute__((visibility("default")))
