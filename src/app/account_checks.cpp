#include "app/account_checks.h"

#include <vector>

#include "data/trade_api.h"
#include "platform/text.h"

namespace tarn {

std::optional<std::string> CheckPasswordChange(const std::string& oldPassword, const std::string& newPassword,
                                               const std::string& confirmation) {
  if (newPassword != confirmation) return TXT("两次输入的新密码不一致");
  if (oldPassword.empty() || newPassword.empty() || confirmation.empty()) return TXT("密码不能为空");
  return std::nullopt;
}

std::string PasswordChangeAnswer(const PasswordChangeResult& result) {
  if (result.code != 0) return std::string(Field(result.message));
  return TXT("密码修改成功");
}

bool SendPasswordChange(const std::string& oldPassword, const std::string& newPassword) {
  ITradeApi* api = GetTradeApi();
  if (!api) return false;
  std::vector<AccountTexts> all;
  AccountTexts current;
  api->GetLoginInfo(all, current);
  api->ChangePassword(current, oldPassword, newPassword, 0);
  return true;
}

}  // namespace tarn
