# The shell's readers: the window state file and the enciphered server addresses.
tarn_fuzz(frame_state_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_state_fuzz.cpp DEPS tarn_shell)
tarn_fuzz(address_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/address_fuzz.cpp DEPS tarn_shell)
