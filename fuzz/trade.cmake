# The trading panels' readers: the keyboard ordering file.
tarn_fuzz(keyorder_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/keyorder_fuzz.cpp DEPS tarn_trade_orders)
