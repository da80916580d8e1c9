// The checks and conversions every table-driven Invoke shares.
#include <com/object.h>

#include <platform/text.h>

#include <charconv>
#include <exception>

namespace com {

std::u16string DispArgs::Text(UINT i) const {
  const VARIANT& v = at(i);
  switch (v.vt) {
    case VT_EMPTY: return {};
    case VT_BSTR: return bstrText(v.bstrVal);
    case VT_I4: return platform::ascii(std::to_string(v.lVal));
    default: throw ArgTypeError{i};
  }
}

int32_t DispArgs::Long(UINT i) const {
  const VARIANT& v = at(i);
  switch (v.vt) {
    case VT_EMPTY: return 0;
    case VT_I4: return v.lVal;
    case VT_BSTR: {
      // A decimal number, blanks around it allowed; anything else does not convert.
      std::string s;
      for (char16_t c : bstrText(v.bstrVal)) {
        if (c > 0x7F) throw ArgTypeError{i};
        s.push_back(char(c));
      }
      size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
      if (b == std::string::npos) throw ArgTypeError{i};
      const char* first = s.data() + b;
      const char* last = s.data() + e + 1;
      if (*first == '+') ++first;
      int32_t n = 0;
      auto [p, ec] = std::from_chars(first, last, n);
      if (ec != std::errc() || p != last) throw ArgTypeError{i};
      return n;
    }
    default: throw ArgTypeError{i};
  }
}

void DispResult::Long(int32_t n) {
  if (!r_) return;
  r_->vt = VT_I4;
  r_->lVal = n;
}

void DispResult::Text(std::u16string_view text) {
  if (!r_) return;
  BSTR s = bstrFrom(text);
  if (!s) throw std::bad_alloc();
  r_->vt = VT_BSTR;
  r_->bstrVal = s;
}

namespace detail {

bool sameName(const char16_t* tableName, const char16_t* asked) {
  return tableName && asked && platform::equalsNoCase(std::u16string_view(tableName), std::u16string_view(asked));
}

HRESULT checkCall(WORD flags, const DISPPARAMS* params, UINT expected) {
  // Every member is a method; VB-style callers may add DISPATCH_PROPERTYGET to the call.
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  if (params->cArgs && !params->rgvarg) return E_INVALIDARG;
  if (params->cNamedArgs) return DISP_E_NONAMEDARGS;
  if (params->cArgs != expected) return DISP_E_BADPARAMCOUNT;
  return S_OK;
}

HRESULT failedCall(EXCEPINFO* excep) {
  std::string what = "unexpected failure";
  HRESULT code = E_FAIL;
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const ComError& e) {
    what = e.what();
    code = e.Error();
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
  }
  if (excep) {
    *excep = EXCEPINFO{};
    excep->bstrDescription = bstrFrom(platform::fromUtf8(what));
    excep->scode = code;
  }
  return DISP_E_EXCEPTION;
}

}  // namespace detail
}  // namespace com
