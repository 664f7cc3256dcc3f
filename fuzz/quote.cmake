# The quote display's readers: the user's block file and the grid's column file.
tarn_fuzz(userblock_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/userblock_fuzz.cpp DEPS tarn_quote)
tarn_fuzz(quotegrid_ini_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/quotegrid_ini_fuzz.cpp DEPS tarn_quote)
# The keyboard commands' file (and the custom periods' text).
tarn_fuzz(keybord_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/keybord_fuzz.cpp DEPS tarn_quote)
