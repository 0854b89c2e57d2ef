#include "contract/settings_contract.h"

#include <string_view>

namespace nsTobrin {

bool IsAbsentSettingValue(const char16_t* value) {
  return !value || std::u16string_view(value) == kAbsentValue.utf16;
}

bool ShowsMessageBox(const char16_t* isShowMessageBox) {
  return isShowMessageBox && std::u16string_view(isShowMessageBox) == u"1";
}

bool HasOneButton(const char16_t* isOk) { return !isOk || std::u16string_view(isOk) == u"1"; }

}  // namespace nsTobrin
