// CCXInfoPanelCtrl: the window that holds the information panel ("盘口报价") beside a quote grid.
// It makes the panel object, feeds it the shown contract, its snapshot and latest trades and
// the tracer's tallies, applies the user's panel settings, and carries out the commands the
// panel raises (refresh, side bar, tick statistics, a clicked price for the order panels).
//
// Threads: quotes, new-trade notes and tallies arrive on the quote library's threads; they are
// copied under the window's lock and posted, and the panel is fed on the UI thread.
#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>

#include "data/data_listener.h"
#include "libs/infopanel/gui/info_panel.h"
#include "quote/info_panel_settings.h"
#include "quote/panel_data_tracer.h"
#include "quote/user_block_store.h"
#include "tools/setting_cfg.h"

class QDialog;

class CCXInfoPanelCtrl : public QWidget,
                         public CQuoteDataClient,
                         public ISettingCfgNotify,
                         public IBlockNotify,
                         public IPanelTracerNotify,
                         public tarn::infopanel::IInfoPanelCommandSink {
  Q_OBJECT
 public:
  static constexpr int kChildId = 103;
  static constexpr int kMsgQuote = 1201;    // a snapshot of the shown contract is waiting
  static constexpr int kMsgTrades = 1202;   // new trades: fetch the detail list
  static constexpr int kMsgTallies = 1203;  // the tracer has new tallies
  static constexpr int kMsgReset = 1204;    // the library reset the contract: show it afresh

  explicit CCXInfoPanelCtrl(QWidget* parent = nullptr);
  ~CCXInfoPanelCtrl() override;

  // Shows a contract (one without a commodity is ignored); `fresh` subscribes it and fetches
  // its snapshot and trades.
  void ShowContract(const DC_Contract& contract, bool fresh = true);
  const DC_Contract& Contract() const { return contract_; }
  // Feeds the panel the stored snapshot with `trades` (nullptr: fetch the detail list).
  void FeedPanel(const std::vector<QuoteDetail>* trades);
  bool SideBar() const { return sideBar_; }
  tarn::infopanel::CInfoPanel* Panel() const { return panel_; }
  CPanelDataTracer* Tracer() const { return tracer_.get(); }

  // Dialogs are opened through this so that tests can answer them (default: exec).
  std::function<int(QDialog* dialog)> runDialog;

  // The panel's commands.
  void OnPanelCommand(const tarn::infopanel::PanelCommand& command) override;

  int OnQuote(int status, const DC_Quote* quote) override;
  void OnTickData(const DC_Contract* record) override;
  void OnContractReset(DC_Contract contract) override;
  void OnSettingCfgChanged(bool recomputeColumns) override;
  void OnUserBlockChanged(const std::string& block) override;
  void OnBlockEvent(const std::string& block, int code) override;
  void OnPanelTallies() override;

 protected:
  bool event(QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  void CreatePanel();
  void ReleasePanel();
  void ApplySettings();
  void UpdateBlockMark();
  void Place();

  tarn::infopanel::CInfoPanel* panel_ = nullptr;
  DC_Contract contract_{};
  DC_Quote quote_{};  // guarded by mutex_
  bool sideBar_ = true;
  int displayLevel_ = 1;
  tarn::CriticalSection mutex_;
  std::unique_ptr<CPanelDataTracer> tracer_;
  std::atomic<bool> tradesPending_{false};
  std::atomic<bool> quotePosted_{false};
  std::atomic<bool> talliesPosted_{false};
};
