// HRESULTs and the thrown automation error. The automation layer (com/) adds to these.
#pragma once

#include <platform/export.h>

#include <cstdint>
#include <stdexcept>
#include <string>

QORVEL_PLATFORM_API_BEGIN
namespace platform {

using HRESULT = int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001u);
constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002u);
constexpr HRESULT E_POINTER = HRESULT(0x80004003u);
constexpr HRESULT E_ABORT = HRESULT(0x80004004u);
constexpr HRESULT E_FAIL = HRESULT(0x80004005u);
constexpr HRESULT E_UNEXPECTED = HRESULT(0x8000FFFFu);
constexpr HRESULT E_ACCESSDENIED = HRESULT(0x80070005u);
constexpr HRESULT E_HANDLE = HRESULT(0x80070006u);
constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057u);

inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline bool FAILED(HRESULT hr) { return hr < 0; }

/// The error a failed document-service or automation call throws; it carries the HRESULT.
class ComError : public std::runtime_error {
 public:
  explicit ComError(HRESULT hr, const std::string& what = std::string())
      : std::runtime_error(what.empty() ? describe(hr) : what), hr_(hr) {}
  HRESULT Error() const noexcept { return hr_; }

 private:
  static std::string describe(HRESULT hr) {
    static const char* hex = "0123456789ABCDEF";
    std::string s = "COM error 0x";
    for (int i = 7; i >= 0; --i) s.push_back(hex[(uint32_t(hr) >> (4 * i)) & 0xF]);
    return s;
  }
  HRESULT hr_;
};

}  // namespace platform
QORVEL_PLATFORM_API_END
