#pragma once
// The data-access library (libLoomstore.so) is built with hidden visibility: it exports
// the classes and functions of its include/ headers marked LOOMSTORE_API, and nothing else.
#define LOOMSTORE_API __attribute__((visibility("default")))
