# Writes the column reference OUT (columns.md) from the README's sections that define chew_study's
# tables and pages, word for word, under a title of its own. The README stays the one source of
# every definition; a section that is no longer where this script looks stops the build.
#
#   cmake -DREADME=README.md -DOUT=columns.md -DVERSION=2.0 -P docs/columns.cmake
#
# The README is handled as one string, never as a CMake list, so its semicolons and brackets stay
# as they are.
foreach(variable README OUT VERSION)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "columns.cmake: -D${variable}=... is missing")
  endif()
endforeach()

set(sections
  "The tables"
  "The lab's protocol: `--protocol`"
  "Clenches and border movements"
  "Chewing kinematics"
  "Data checks"
  "Check pages: `--pages`"
  "The study overview: `index.html`")

file(READ "${README}" readme)
set(body "")
set(contents "")
foreach(section IN LISTS sections)
  set(heading "\n### ${section}\n")
  string(FIND "${readme}" "${heading}" begin)
  if(begin EQUAL -1)
    message(FATAL_ERROR "columns.cmake: ${README} has no section \"### ${section}\"")
  endif()
  string(LENGTH "${heading}" heading_length)
  math(EXPR text_begin "${begin} + ${heading_length}")
  string(SUBSTRING "${readme}" ${text_begin} -1 rest)
  # The section ends where the next section or chapter begins.
  string(FIND "${rest}" "\n## " chapter_end)
  string(FIND "${rest}" "\n### " section_end)
  set(end ${chapter_end})
  if(end EQUAL -1 OR (NOT section_end EQUAL -1 AND section_end LESS end))
    set(end ${section_end})
  endif()
  string(SUBSTRING "${rest}" 0 ${end} text)
  string(STRIP "${text}" text)
  # The screenshots lie beside this file once installed.
  string(REPLACE "](docs/" "](" text "${text}")
  string(APPEND contents "- ${section}\n")
  string(APPEND body "\n## ${section}\n\n${text}\n")
endforeach()

file(WRITE "${OUT}" "# chew_study: its tables and pages

chew_eval ${VERSION}. Every table `chew_study` writes, with each column, its unit and how it is
computed; the data checks behind `findings.csv`; the check pages (`--pages`) and the study
overview `index.html`. The sections below are the README's own, word for word; a page that
cites a section by name means the one here:

${contents}${body}")
