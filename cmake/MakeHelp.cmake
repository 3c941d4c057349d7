# Makes the user's guide the program opens: OUT/index.html from the Markdown
# of SOURCE/index.md (converted by cmark-gfm, GitHub's tables included) in a
# page of its own, and the pictures of SOURCE beside it.
#   cmake -DCMARK=cmark-gfm -DSOURCE=docs/help -DOUT=bin/help -P MakeHelp.cmake
foreach(variable CMARK SOURCE OUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "MakeHelp.cmake: ${variable} is not set")
  endif()
endforeach()

execute_process(
  COMMAND ${CMARK} --extension table --to html ${SOURCE}/index.md
  OUTPUT_VARIABLE body
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "MakeHelp.cmake: ${CMARK} failed on ${SOURCE}/index.md (${result})")
endif()

file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
file(READ ${SOURCE}/page.html page)
string(REPLACE "@BODY@" "${body}" page "${page}")
file(WRITE ${OUT}/index.html "${page}")
file(GLOB pictures ${SOURCE}/*.png)
file(COPY ${pictures} DESTINATION ${OUT})
