# Builds the page that the program hands to its web view. The program sets
# the page as HTML text, so nothing beside it can be loaded by a relative
# URL: the stylesheet and the script are written into the page itself.
#
#   cmake -DPAGE_SOURCE_DIR=<ui folder> -DPAGE_OUTPUT=<built index.html> -P inline_page.cmake

foreach(var PAGE_SOURCE_DIR PAGE_OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "inline_page.cmake: ${var} is not set")
  endif()
endforeach()

file(READ "${PAGE_SOURCE_DIR}/index.html" page)
file(READ "${PAGE_SOURCE_DIR}/style.css" style)
file(READ "${PAGE_SOURCE_DIR}/app.js" script)

# Text that would end the inline element early, or give a pop-out window's
# script a second place to go, must not appear inside it.
string(TOLOWER "${style}" style_lower)
string(TOLOWER "${script}" script_lower)
string(FIND "${style_lower}" "</style" style_end)
string(FIND "${script_lower}" "</script" script_end)
string(FIND "${script_lower}" "</body" script_body)
if(NOT style_end EQUAL -1 OR NOT script_end EQUAL -1 OR NOT script_body EQUAL -1)
  message(FATAL_ERROR "inline_page.cmake: style.css or app.js holds a closing tag")
endif()

set(style_link "<link rel=\"stylesheet\" href=\"style.css\">")
set(script_tag "<script src=\"app.js\"></script>")
foreach(tag IN ITEMS "${style_link}" "${script_tag}")
  string(FIND "${page}" "${tag}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "inline_page.cmake: index.html lacks ${tag}")
  endif()
endforeach()

string(REPLACE "${style_link}" "<style>\n${style}</style>" page "${page}")
string(REPLACE "${script_tag}" "<script>\n${script}</script>" page "${page}")

get_filename_component(output_dir "${PAGE_OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${output_dir}")
file(WRITE "${PAGE_OUTPUT}.tmp" "${page}")
file(RENAME "${PAGE_OUTPUT}.tmp" "${PAGE_OUTPUT}")
