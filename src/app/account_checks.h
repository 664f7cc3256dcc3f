// The checks and texts of the two account dialogs (password change, settlement statement).
#pragma once

#include <optional>
#include <string>

#include "data/trade_records.h"

namespace tarn {

// The password change's checks, in order: new and confirmation must be equal (exactly, case
// and all): "两次输入的新密码不一致"; none of the three may be empty: "密码不能为空". Nothing
// when the change may be sent.
std::optional<std::string> CheckPasswordChange(const std::string& oldPassword, const std::string& newPassword,
                                               const std::string& confirmation);
// The answer shown: the block's message for a non-zero code, else "密码修改成功".
std::string PasswordChangeAnswer(const PasswordChangeResult& result);
// Sends the change: the current login block from the trading library with the old and the new
// password. False when there is no trading library.
bool SendPasswordChange(const std::string& oldPassword, const std::string& newPassword);

// The date of a settlement query: year * 10000 + month * 100 + day.
constexpr int SettlementDate(int year, int month, int day) { return year * 10000 + month * 100 + day; }

}  // namespace tarn
