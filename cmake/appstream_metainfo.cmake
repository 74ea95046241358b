# Writes the window's AppStream data from its template: one <release> for
# each entry of the Debian change log, newest first as there, with the
# entry's items as its notes; and, when the build names them, the home page,
# the page for reporting problems and a screenshot kept under the home page.
# Run at build time, so that a new change log entry reaches the data:
#   cmake -DTEMPLATE=IN -DCHANGELOG=FILE -DOUTPUT=OUT [-DHOME_PAGE=URL]
#         [-DBUG_PAGE=URL] -P appstream_metainfo.cmake
cmake_minimum_required(VERSION 3.25)

function(xml_escape text variable)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  set(${variable} "${text}" PARENT_SCOPE)
endfunction()

# CMake splits lists at ";", which the change log's lines hold; they are
# read with it stood in for by a control character and given back at the end.
string(ASCII 31 semicolon)
file(READ "${CHANGELOG}" changelog)
string(REPLACE ";" "${semicolon}" changelog "${changelog}")
string(REPLACE "\n" ";" lines "${changelog}")

set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
set(releases "")
set(version "")
set(items "")
set(item "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[a-z0-9][a-z0-9.+-]* \\(([^)]+)\\)")
    # An epoch or a Debian revision is not the program's own version.
    string(REGEX REPLACE "^[0-9]+:|-[^-]*$" "" version "${CMAKE_MATCH_1}")
    set(items "")
    set(item "")
  elseif(line MATCHES "^  \\* (.*)$")
    if(item)
      list(APPEND items "${item}")
    endif()
    set(item "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^    +(.*)$" AND item)
    string(APPEND item " ${CMAKE_MATCH_1}")
  elseif(line MATCHES "^ -- .*  [A-Z][a-z][a-z], ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    set(day "${CMAKE_MATCH_1}")
    set(year "${CMAKE_MATCH_3}")
    list(FIND months "${CMAKE_MATCH_2}" month)
    if(NOT version OR month LESS 0)
      message(FATAL_ERROR "${CHANGELOG}: cannot read the entry ending '${line}'")
    endif()
    math(EXPR month "${month} + 1")
    string(LENGTH "${day}" length)
    if(length EQUAL 1)
      set(day "0${day}")
    endif()
    if(month LESS 10)
      set(month "0${month}")
    endif()
    if(item)
      list(APPEND items "${item}")
    endif()
    string(APPEND releases
      "    <release version=\"${version}\" date=\"${year}-${month}-${day}\">\n"
      "      <description>\n        <ul>\n")
    foreach(note IN LISTS items)
      xml_escape("${note}" note)
      string(APPEND releases "          <li>${note}</li>\n")
    endforeach()
    string(APPEND releases "        </ul>\n      </description>\n    </release>\n")
    set(version "")
    set(items "")
    set(item "")
  endif()
endforeach()
if(NOT releases)
  message(FATAL_ERROR "${CHANGELOG}: no entry")
endif()
string(REPLACE "${semicolon}" ";" QM_RELEASES "${releases}")

set(QM_URLS "")
set(QM_SCREENSHOTS "")
if(HOME_PAGE)
  xml_escape("${HOME_PAGE}" home)
  string(APPEND QM_URLS "  <url type=\"homepage\">${home}</url>\n")
  string(REGEX REPLACE "/+$" "" home "${home}")
  string(APPEND QM_SCREENSHOTS
    "  <screenshots>\n"
    "    <screenshot type=\"default\">\n"
    "      <caption>The window: the two folders, the file types and how to deal</caption>\n"
    "      <caption xml:lang=\"zh-CN\">主窗口：导入、导出目录，文件类型和分发方式</caption>\n"
    "      <image>${home}/docs/window.png</image>\n"
    "    </screenshot>\n"
    "  </screenshots>\n")
endif()
if(BUG_PAGE)
  xml_escape("${BUG_PAGE}" bugs)
  string(APPEND QM_URLS "  <url type=\"bugtracker\">${bugs}</url>\n")
endif()
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
