# The engines' readers: the alert file, the automatic stop settings, the spread formula (and the
# broker's reading of it against the terminal's) and the strategy file.
tarn_fuzz(alert_file_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/alert_file_fuzz.cpp DEPS tarn_engines)
tarn_fuzz(auto_cover_file_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/auto_cover_file_fuzz.cpp DEPS tarn_engines)
tarn_fuzz(combol_formula_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/combol_formula_fuzz.cpp DEPS tarn_engines)
tarn_fuzz(strategy_file_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/strategy_file_fuzz.cpp DEPS tarn_engines)
tarn_fuzz(spread_formula_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/spread_formula_fuzz.cpp DEPS tarn_engines tarn_exchange)
