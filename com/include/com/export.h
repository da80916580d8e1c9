// The automation layer is one shared library of the process (libqorvel_com.so), so that its state
// (hooks, tables, caches) exists once, whichever library or program reaches it.
//
// Each public header of the layer opens its namespace as
//   namespace QORVEL_COM_API com {
// and all it declares there is the layer's interface, exported. What the layer's own sources
// declare in a plain `namespace com {` stays inside the library. A source that defines a
// function of the interface includes the header that declares it: a definition that has not
// seen the marked declaration stays hidden. State lives in the layer's sources, never in an
// inline function or variable of a header (each library would hold a copy of that).
#pragma once

#ifdef Q_MOC_RUN
#define QORVEL_COM_API  // moc reads a namespace by its name alone
#else
#define QORVEL_COM_API [[gnu::visibility("default")]]
#endif
