tarn_fuzz(net_frame_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/net_frame_fuzz.cpp DEPS tarn_net_wire)
