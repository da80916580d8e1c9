// Calls on automation objects whose failure as such (ComError: an object that could not be
// created, a failed dispatch) counts as the ordinary failure the caller names.
#pragma once

#include <platform/comerror.h>

/// `f()`, or `onFailure` when it throws ComError.
template <class F>
auto guarded(F f, decltype(f()) onFailure) -> decltype(f()) {
  try {
    return f();
  } catch (const platform::ComError&) {
    return onFailure;
  }
}

/// `f()`, whose ComError is let go.
template <class F>
void guardedVoid(F f) {
  try {
    f();
  } catch (const platform::ComError&) {
  }
}
