# Builds the page that the program hands to its web view. The program sets
# the page as HTML text, so nothing beside it can be loaded by a relative
# URL: the stylesheet and the scripts are written into the page itself. The
# scripts are the page's modules, each in the element that loaded it, so in
# the order index.html gives them.
#
#   cmake -DPAGE_SOURCE_DIR=<ui folder> -DPAGE_OUTPUT=<built index.html> -P inline_page.cmake

foreach(var PAGE_SOURCE_DIR PAGE_OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "inline_page.cmake: ${var} is not set")
  endif()
endforeach()

file(READ "${PAGE_SOURCE_DIR}/index.html" page)
file(READ "${PAGE_SOURCE_DIR}/style.css" style)

# Text that would end the inline element early, or give a pop-out window's
# script a second place to go, must not appear inside it.
function(refuse_closing_tags file text)
  string(TOLOWER "${text}" lower)
  foreach(closing IN ITEMS "</style" "</script" "</body")
    string(FIND "${lower}" "${closing}" at)
    if(NOT at EQUAL -1)
      message(FATAL_ERROR "inline_page.cmake: ${file} holds a closing tag (${closing})")
    endif()
  endforeach()
endfunction()

set(style_link "<link rel=\"stylesheet\" href=\"style.css\">")
string(FIND "${page}" "${style_link}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "inline_page.cmake: index.html lacks ${style_link}")
endif()
refuse_closing_tags(style.css "${style}")
string(REPLACE "${style_link}" "<style>\n${style}</style>" page "${page}")

string(REGEX MATCHALL "<script src=\"[^\"]+\"></script>" script_tags "${page}")
if(NOT script_tags)
  message(FATAL_ERROR "inline_page.cmake: index.html loads no script")
endif()
foreach(tag IN LISTS script_tags)
  string(REGEX REPLACE "^<script src=\"([^\"]+)\"></script>$" "\\1" file "${tag}")
  file(READ "${PAGE_SOURCE_DIR}/${file}" script)
  refuse_closing_tags(${file} "${script}")
  string(REPLACE "${tag}" "<script>\n${script}</script>" page "${page}")
endforeach()

get_filename_component(output_dir "${PAGE_OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${output_dir}")
file(WRITE "${PAGE_OUTPUT}.tmp" "${page}")
file(RENAME "${PAGE_OUTPUT}.tmp" "${PAGE_OUTPUT}")
