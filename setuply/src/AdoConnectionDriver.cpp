#include "AdoConnectionDriver.h"

void CAdoConnectionDriver::SetConnectionTimeout(int32_t seconds) { InvokeVoid(3, {seconds}); }
void CAdoConnectionDriver::Close() { InvokeVoid(5); }
com::IDispatch* CAdoConnectionDriver::Execute(std::u16string_view commandText, int32_t options) {
  return InvokeObject(6, {commandText, options});
}
void CAdoConnectionDriver::Open(std::u16string_view connectionText, std::u16string_view user,
                                std::u16string_view password, int32_t options) {
  InvokeVoid(10, {connectionText, user, password, options});
}
