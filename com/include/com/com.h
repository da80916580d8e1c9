// The whole automation layer in one include.
#pragma once

#include <com/bstr.h>
#include <com/create.h>
#include <com/dispatch.h>
#include <com/guid.h>
#include <com/hresult.h>
#include <com/object.h>
#include <com/ptr.h>
#include <com/unknown.h>
#include <com/variant.h>
