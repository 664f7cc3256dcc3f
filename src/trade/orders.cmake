# The order routines, the order dialogs' checks and requests, the order panels' logic, keyboard
# ordering and the panel containers' settings (tarn_trade_orders, no Qt); their windows in gui/
# (tarn_trade_orders_gui).
tarn_library(tarn_trade_orders
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/key_order_table.cpp
    ${CMAKE_CURRENT_LIST_DIR}/order_dialog_forms.cpp
    ${CMAKE_CURRENT_LIST_DIR}/order_panel_logic.cpp
    ${CMAKE_CURRENT_LIST_DIR}/order_routines.cpp
    ${CMAKE_CURRENT_LIST_DIR}/panel_layout.cpp
  DEPS tarn_trade_feed tarn_engines tarn_tools tarn_data tarn_platform
)
if(TARN_WITH_QT)
  tarn_library(tarn_trade_orders_gui QT
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/gui/order_dialogs.cpp
      ${CMAKE_CURRENT_LIST_DIR}/gui/order_panel_base.cpp
      ${CMAKE_CURRENT_LIST_DIR}/gui/keyboard_order_panel.cpp
      ${CMAKE_CURRENT_LIST_DIR}/gui/three_key_panel.cpp
      ${CMAKE_CURRENT_LIST_DIR}/gui/vert_order_panel.cpp
    DEPS tarn_trade_orders tarn_engines_gui tarn_ui
  )
endif()
