# Tests of the trade grid, its commands and the funds window's cells.
tarn_test(tarn_trade_grid_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/trade_grid_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/grid_actions_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trade_feed_test.cpp
  DEPS tarn_trade_grid
)
target_include_directories(tarn_trade_grid_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
# With the embedded broker.
if(TARGET tarn_quotedata AND TARGET tarn_tradeapi)
  tarn_test(tarn_trade_grid_embedded_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/embedded_grid_test.cpp
    DEPS tarn_trade_grid tarn_tradeapi tarn_quotedata
  )
  target_include_directories(tarn_trade_grid_embedded_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
endif()
if(TARN_WITH_QT AND TARGET tarn_trade_grid_gui)
  tarn_test(tarn_trade_grid_gui_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/trade_grid_gui_test.cpp
    DEPS tarn_trade_grid_gui
    QT
  )
  target_include_directories(tarn_trade_grid_gui_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
endif()
