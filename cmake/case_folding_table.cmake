# Makes the wildcards' case folding table from Unicode's CaseFolding.txt, at
# build time: cmake -DIN=CaseFolding.txt -DOUT=case_folding_table.inc -P this.
#
# Only the simple foldings (status C and S) are taken: a file system compares
# names character by character, so a character that folds to several (status
# F: "ß" to "ss") stays itself, and the Turkish foldings (status T) depend on
# a language that a file name does not have.
#
# Consecutive mappings with one difference are written as one run: a block
# of capitals (step 1), or capitals alternating with their small letters
# (step 2, as in Latin Extended-A), so the table is about 200 rows.

file(STRINGS "${IN}" header LIMIT_COUNT 1)
string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" version "${header}")
if(NOT version)
  message(FATAL_ERROR "${IN} does not start with a CaseFolding-X.Y.Z.txt line")
endif()

file(STRINGS "${IN}" lines REGEX "^[0-9A-F]+; [CS]; [0-9A-F]+;")
set(rows "")
set(count 0)
set(first -1)
set(last -1)
foreach(line IN LISTS lines)
  string(REGEX MATCH "^([0-9A-F]+); [CS]; ([0-9A-F]+);" _ "${line}")
  math(EXPR code "0x${CMAKE_MATCH_1}")
  math(EXPR folded "0x${CMAKE_MATCH_2}")
  # The matcher compares a name and a pattern unit by unit in UTF-16, which
  # needs a character and its folding to take the same number of units.
  if((code LESS 65536) AND NOT (folded LESS 65536) OR (folded LESS 65536) AND NOT (code LESS 65536))
    message(FATAL_ERROR "${line}: folds across the 65536 boundary")
  endif()
  if(code LESS_EQUAL last)
    message(FATAL_ERROR "${line}: not in code point order")
  endif()
  math(EXPR delta "${folded} - ${code}")
  if(first GREATER_EQUAL 0)
    math(EXPR gap "${code} - ${last}")
    if(delta EQUAL run_delta AND (gap EQUAL step OR (first EQUAL last AND gap LESS_EQUAL 2)))
      set(last ${code})
      set(step ${gap})
      continue()
    endif()
    string(APPEND rows "    {${first}, ${last}, ${run_delta}, ${step}},\n")
    math(EXPR count "${count} + 1")
  endif()
  set(first ${code})
  set(last ${code})
  set(run_delta ${delta})
  set(step 1)
endforeach()
string(APPEND rows "    {${first}, ${last}, ${run_delta}, ${step}},\n")
math(EXPR count "${count} + 1")

file(WRITE "${OUT}.tmp"
  "// Made from CaseFolding-${version}.txt by cmake/case_folding_table.cmake.\n"
  "// {first, last, difference, step}: every step-th code point from first to\n"
  "// last folds to itself plus the difference. ${count} runs, in code point order.\n"
  "${rows}")
# Replaced only when it changed, so that a new build folder or a touched
# source file does not recompile the matcher.
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
