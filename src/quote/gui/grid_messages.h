// The quote grid's private window messages and the message that carries a contract.
#pragma once

#include "data/quote_records.h"
#include "ui/window_message.h"

namespace tarn {

constexpr int kMsgGridRowDoubleClicked = 1011;  // sent to the grid window: the row's contract
constexpr int kMsgGridSelectionChanged = 1012;  // posted to the grid window: the row's contract
constexpr int kMsgGridWindowCommand = 1014;     // posted to the hosting container: wParam = GridWindowCommand
// The grid's own: rows changed on the quote thread; the user's blocks changed.
constexpr int kMsgGridRowsChanged = 1017;
constexpr int kMsgGridBlockChanged = 1018;  // TextMessage: the block's name
constexpr int kMsgGridBlockDeleted = 1019;  // TextMessage: the block's name

// A window message that carries a contract (freed with the event).
class ContractMessage : public WindowMessage {
 public:
  ContractMessage(int message, const DC_Contract& contract) : WindowMessage(message), contract_(contract) {}
  const DC_Contract& Contract() const { return contract_; }

 private:
  DC_Contract contract_;
};

}  // namespace tarn
