// What the user can do from the trade grid: every button, context-menu item and double-click
// ends as one grid command (grid control id, row, column, code), which this class carries out
// on a copy of the clicked row's record. It sends to the trading library and the local OCO
// engine itself, asks its confirmations through tarn::MessageBox, and leaves every dialog to
// its host (the container window), so that tests drive it without a window. UI thread only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "data/trade_api.h"
#include "engines/condition_forms.h"
#include "engines/oco_order.h"
#include "trade/grid/trade_grid_model.h"

namespace tarn {

// Sends one new order: the order-sending routine shared by the order panels (contract,
// direction, offset, quantity, market flag, price), no confirmation, no check.
class IGridOrderSender {
 public:
  virtual ~IGridOrderSender() = default;
  virtual void SendOrder(const DC_Contract& contract, int direction, int offset, int quantity, int market,
                         double price) = 0;
};
// The order panels' order-sending routine (SendPanelOrder).
class PanelOrderSender : public IGridOrderSender {
 public:
  void SendOrder(const DC_Contract& contract, int direction, int offset, int quantity, int market,
                 double price) override;
};

// The dialogs the commands open; the container shows them.
class IGridActionHost {
 public:
  virtual ~IGridActionHost() = default;
  virtual void OpenCoverPosition(const PositionRecord& position) = 0;      // close-position dialog
  virtual void OpenCoverByPosNo(const PositionDetail& detail, double currentPrice) = 0;
  // The modify dialog; the new price and quantity on OK.
  struct Modified {
    double price;
    int quantity;
  };
  virtual std::optional<Modified> OpenModifyOrder(const OrderRecord& order, double tick, int decimals) = 0;
  // The stop dialog of a position (`positionNumber` empty) or of one lot.
  virtual void OpenStopDialog(const StopContext& context, double floatProfit, const std::string& positionNumber) = 0;
  virtual void OpenAutoCoverSetting() = 0;
  virtual void OpenOcoDialog(const OcoOrder& pair) = 0;
  // The text input "填写备注"; the entered text on OK.
  virtual std::optional<std::string> EditRemark(const std::string& current) = 0;
  // Blocks the UI thread (the reverse's wait between close and open).
  virtual void Wait(int ms) = 0;
};

// The fractions of the partial-close codes 201..204; 0 for other codes.
double PartialCloseFraction(int code);
// The record a partial close hands to ClosePosition: n = trunc(total x fraction), at least 1,
// on the long side when it holds lots, else the short side, today's lots at most n.
PositionRecord PartialCloseRecord(const PositionRecord& position, double fraction);
// The market open order of a lock (and of a reverse after its close): the other direction for
// the held quantity.
struct LockOrder {
  int direction;
  int quantity;
};
LockOrder LockOrderFor(const PositionRecord& position);
// A position record for one lot (the stop dialog of a detail row).
PositionRecord PositionOfDetail(const PositionDetail& detail, double currentPrice);
StopContext StopContextFor(const PositionRecord& position);

class TradeGridActions {
 public:
  TradeGridActions(TradeGridModel& model, IGridActionHost& host, IGridOrderSender& sender);

  // A button or menu command on the record a row shows now. Returns whether the tab's rows
  // changed (redraw them).
  bool Command(int controlId, int row, int column, int code);
  // The same on the record of an identity (TradeGridModel::RowIdentity) taken when the user
  // chose it: the command acts on that record wherever the refreshes have moved it, and does
  // nothing that needs a record when it is gone. An empty identity is "not on a row".
  bool CommandOn(int controlId, const std::string& identity, int column, int code);
  bool DoubleClick(int controlId, int row, int column);
  // The context menu of a right click (`row` -1: not on a row).
  std::vector<GridButton> ContextMenu(int controlId, int row) const;

 private:
  bool PositionCommand(int row, int code);
  bool DetailCommand(int row, int code);
  bool OrderCommand(int tab, int row, int code);
  bool OcoCommand(int row, int code);
  void ClosePosition(const PositionRecord& p);
  void SendLock(const PositionRecord& p);
  bool EditRemark(int tab, int row);
  void OpenStops(const PositionRecord& p, const std::string& positionNumber, double floatProfit);
  double CurrentPriceOf(const DC_Contract& contract) const;
  static bool Ask(const std::string& text, bool applicationTitle = false, bool question = false);
  static bool CoverConfirm();

  TradeGridModel& model_;
  IGridActionHost& host_;
  IGridOrderSender& sender_;
};

}  // namespace tarn
