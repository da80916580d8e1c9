#pragma once
// The toolkit (libLoomkit.so) is built with hidden visibility: it exports the classes and
// functions of its include/ headers marked LOOMKIT_API, and nothing else.
#define LOOMKIT_API __attribute__((visibility("default")))
