# The tools' readers: the average trade sizes of the information panel's tallies.
tarn_fuzz(avgtradevol_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/avgtradevol_fuzz.cpp DEPS tarn_tools)
