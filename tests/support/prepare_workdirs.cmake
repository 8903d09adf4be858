# Gives every test's scratch directory a fresh copy of Data/ and examples/.
file(GLOB_RECURSE dirs LIST_DIRECTORIES true "${BIN}/*.work")
foreach(d ${dirs})
  if(IS_DIRECTORY ${d} AND d MATCHES "\\.work$")
    file(REMOVE_RECURSE ${d}/Data ${d}/examples)
    file(COPY ${SRC}/Data ${SRC}/examples DESTINATION ${d})
  endif()
endforeach()
