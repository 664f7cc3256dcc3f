tarn_fuzz(profile_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/profile_fuzz.cpp DEPS tarn_platform)
tarn_fuzz(archive_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/archive_fuzz.cpp DEPS tarn_platform)
