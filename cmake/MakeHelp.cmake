# Makes the user's guide the program opens: OUT/index.html from the Markdown
# of SOURCE/index.md (converted by cmark-gfm, GitHub's tables included) in a
# page of its own, OUT/index-en.html from SOURCE/index-en.md when there is
# one, OUT/cli.html from the console collector's manual MANUAL, and the
# pictures of SOURCE beside them.
#   cmake -DCMARK=cmark-gfm -DSOURCE=docs/help -DMANUAL=docs/cli.md -DOUT=bin/help -P MakeHelp.cmake
foreach(variable CMARK SOURCE MANUAL OUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "MakeHelp.cmake: ${variable} is not set")
  endif()
endforeach()

# OUT/NAME from the Markdown file MARKDOWN, in SOURCE/page.html with its language and title.
function(make_page markdown name language title)
  execute_process(
    COMMAND ${CMARK} --extension table --to html ${markdown}
    OUTPUT_VARIABLE body
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "MakeHelp.cmake: ${CMARK} failed on ${markdown} (${result})")
  endif()
  file(READ ${SOURCE}/page.html page)
  string(REPLACE "@LANG@" "${language}" page "${page}")
  string(REPLACE "@TITLE@" "${title}" page "${page}")
  string(REPLACE "@BODY@" "${body}" page "${page}")
  file(WRITE ${OUT}/${name} "${page}")
endfunction()

file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
make_page(${SOURCE}/index.md index.html ja "クォーヴィン ヘルプ")
if(EXISTS ${SOURCE}/index-en.md)
  make_page(${SOURCE}/index-en.md index-en.html en "Quorvin help")
endif()
make_page(${MANUAL} cli.html en "quorvin-cli: the console collector")
file(GLOB pictures ${SOURCE}/*.png)
file(COPY ${pictures} DESTINATION ${OUT})
