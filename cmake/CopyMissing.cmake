# Copies each of FILES (relative to SRC, joined with "|") to DST unless DST already has it.
string(REPLACE "|" ";" FILES "${FILES}")
foreach(f IN LISTS FILES)
  if(NOT EXISTS "${DST}/${f}")
    get_filename_component(dir "${DST}/${f}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    file(COPY "${SRC}/${f}" DESTINATION "${dir}")
  endif()
endforeach()
