# The trade grid (its tabs, rows, refresh rules, remarks and layout), the funds window's cells
# and the grid's commands. The logic is Qt-free (tarn_trade_grid); the windows are in gui/
# (tarn_trade_grid_gui).
tarn_library(tarn_trade_grid
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/trade_grid_tabs.cpp
    ${CMAKE_CURRENT_LIST_DIR}/position_remarks.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trade_grid_cells.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trade_grid_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/funds_cells.cpp
    ${CMAKE_CURRENT_LIST_DIR}/grid_actions.cpp
  DEPS tarn_trade_feed tarn_trade_orders tarn_engines tarn_tools tarn_data tarn_platform
)
if(TARN_WITH_QT)
  tarn_library(tarn_trade_grid_gui QT
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/gui/my_color_grid.cpp
      ${CMAKE_CURRENT_LIST_DIR}/gui/trade_grid_container.cpp
      ${CMAKE_CURRENT_LIST_DIR}/gui/money_wnd.cpp
      ${CMAKE_CURRENT_LIST_DIR}/gui/dlg_input.cpp
      ${CMAKE_CURRENT_LIST_DIR}/gui/trade_grid_screenshots.cpp
    DEPS tarn_trade_grid tarn_trade_orders_gui tarn_engines_gui tarn_tools_gui tarn_ui
  )
endif()
