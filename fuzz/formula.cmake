tarn_fuzz(formula_compile_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/formula_compile_fuzz.cpp DEPS tarn_formula)
tarn_fuzz(formula_files_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/formula_files_fuzz.cpp DEPS tarn_indicators)
