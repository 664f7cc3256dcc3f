# The order routines, dialogs' checks, panels' logic and keyboard ordering.
tarn_test(tarn_trade_orders_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/key_order_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/order_dialog_forms_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/order_panel_logic_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/order_routines_test.cpp
  DEPS tarn_trade_orders
)
target_include_directories(tarn_trade_orders_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
# The routines against the embedded broker.
if(TARGET tarn_quotedata AND TARGET tarn_tradeapi)
  tarn_test(tarn_trade_orders_embedded_tests
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/orders_embedded_test.cpp
    DEPS tarn_trade_orders tarn_tradeapi tarn_quotedata
  )
  target_include_directories(tarn_trade_orders_embedded_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
endif()
if(TARN_WITH_QT)
  tarn_test(tarn_trade_orders_gui_tests
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/order_panels_gui_test.cpp
    DEPS tarn_trade_gui
    QT
  )
  target_include_directories(tarn_trade_orders_gui_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
endif()
