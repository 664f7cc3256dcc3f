# The trade grid's reader: the position remark file.
tarn_fuzz(pos_remark_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/pos_remark_fuzz.cpp DEPS tarn_trade_grid)
