tarn_fuzz(exchange_store_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/exchange_store_fuzz.cpp DEPS tarn_exchange)
tarn_fuzz(broker_store_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/broker_store_fuzz.cpp DEPS tarn_exchange)
