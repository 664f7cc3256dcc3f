// The information panel object: ordinal 1 (CreateInfoPanel) makes one, ordinal 2
// (DestroyInfoPanel) ends it. Its operations, by slot, place a window inside the caller's, feed
// it contract, snapshot and trades, and apply the caller's settings; clicks reach the caller
// as commands through IInfoPanelCommandSink. All calls on the UI thread.
#pragma once

#include <QWidget>
#include <memory>

#include "libs/infopanel/info_panel_model.h"

namespace tarn::infopanel {

// Where the panel's commands go (the window that created it).
class IInfoPanelCommandSink {
 public:
  virtual ~IInfoPanelCommandSink() = default;
  virtual void OnPanelCommand(const PanelCommand& command) = 0;
};

class PanelWindow;

class CInfoPanel {
 public:
  CInfoPanel();
  ~CInfoPanel();
  CInfoPanel(const CInfoPanel&) = delete;
  CInfoPanel& operator=(const CInfoPanel&) = delete;

  bool Create(int x, int y, int width, int height, QWidget* parent);                   // 0
  void Release();                                                                        // 2
  void Move(int x, int y, int width, int height);                                        // 3
  void SetLevel(int displayLevel, int depthLevels);                                      // 6
  void SetContract(const DC_Contract* contract);                                         // 7
  void SetQuote(const DC_Quote* quote, const QuoteDetail* trades, int count, int a, int b);  // 10
  void SetInUserBlock(bool in);                                                          // 21
  void SetSideBarMode(int on);                                                           // 23
  void Redraw();                                                                         // 24
  void SetColors(const PanelColors& colors);                                             // 25
  void SetFont(const PanelFont& font);                                                   // 29

  // Added for this terminal: the command receiver, the user's field choice and the tracer's
  // tallies (the panel shows them under the price block).
  void SetCommandSink(IInfoPanelCommandSink* sink) { sink_ = sink; }
  void SetFields(const std::vector<int>& fields, bool showDepth, bool showPrice);
  void SetTallies(const PanelTallies& tallies);

  const InfoPanelModel& Model() const { return model_; }
  QWidget* Window() const;
  // The drawing list as last painted (tests and screenshots), built afresh when stale.
  const PanelView& View();

 private:
  friend class PanelWindow;
  void Raise(const PanelCommand& c);

  InfoPanelModel model_;
  PanelWindow* window_ = nullptr;
  IInfoPanelCommandSink* sink_ = nullptr;
};

CInfoPanel* CreateInfoPanel();             // ordinal 1
void DestroyInfoPanel(CInfoPanel* panel);  // ordinal 2

}  // namespace tarn::infopanel
