# The chart's readers: a chart container's saved record and the user's period list.
tarn_fuzz(chart_state_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/chart_state_fuzz.cpp DEPS tarn_chart)
