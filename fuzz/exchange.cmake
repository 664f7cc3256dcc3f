tarn_fuzz(exchange_store_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/exchange_store_fuzz.cpp DEPS tarn_exchange)
