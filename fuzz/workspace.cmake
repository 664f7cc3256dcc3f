# The workspace page's readers: the quote page record of frm.dat and a ".lyt" layout file.
tarn_fuzz(quote_page_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/quote_page_fuzz.cpp DEPS tarn_workspace)
tarn_fuzz(layout_file_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/layout_file_fuzz.cpp DEPS tarn_workspace)
