// The automation layer is one shared library of the process (libqorvel_com.so), so that its state
// (hooks, tables, caches) exists once, whichever library or program reaches it.
//
// Each public header of the layer puts its namespace between
//   QORVEL_COM_API_BEGIN
//   namespace com { ... }  // namespace com
//   QORVEL_COM_API_END
// and all it declares there is the layer's interface, exported. What the layer's own sources
// declare elsewhere stays inside the library. A source that defines a function of the
// interface includes the header that declares it: a definition that has not seen the
// declaration between the two marks stays hidden. State lives in the layer's sources, never
// in an inline function or variable of a header (each library that uses one holds a copy).
#pragma once

#ifdef Q_MOC_RUN  // moc reads the namespace alone
#define QORVEL_COM_API_BEGIN
#define QORVEL_COM_API_END
#else
#define QORVEL_COM_API_BEGIN _Pragma("GCC visibility push(default)")
#define QORVEL_COM_API_END _Pragma("GCC visibility pop")
#endif
