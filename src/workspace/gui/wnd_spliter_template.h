// CWndSpliterTemplate, the layout picker: a popup with two pages, "布局方案" (the nine built-in
// schemes drawn as previews) and "我的布局" (the saved layouts: load, delete, rename).
#pragma once

#include <QWidget>
#include <functional>
#include <string>

class QListWidget;
class QStackedWidget;
class QPushButton;

class CWndSpliterTemplate : public QWidget {
  Q_OBJECT
 public:
  explicit CWndSpliterTemplate(QWidget* parent = nullptr);

  // 0: schemes, 1: my layouts.
  void ShowPage(int page);
  // Fills "我的布局" from the layout folder again.
  void RefreshLayouts();
  // Actions on "我的布局" (the selected entry).
  void LoadSelected();
  void DeleteEntry(int row);
  void RenameSelected();

  std::function<void(int rows, int columns)> onScheme;
  std::function<void(const std::string& name)> onLoad;
  // Asks for a text (the prompt, the text offered); false when cancelled. Tests answer it.
  std::function<bool(const QString& prompt, QString* text)> askText;

  QListWidget* layouts = nullptr;
  std::vector<QPushButton*> schemeButtons;
  QPushButton* pageButtons[2] = {};

 private:
  QStackedWidget* pages_ = nullptr;
};
