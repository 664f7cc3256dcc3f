# The toolkit's file readers. The wave reader is Qt-free, so it is built from its source here
# (the fuzz build has no Qt and so no tarn_ui).
tarn_fuzz(wav_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/wav_fuzz.cpp ${PROJECT_SOURCE_DIR}/src/ui/wav_file.cpp
          DEPS tarn_platform)
