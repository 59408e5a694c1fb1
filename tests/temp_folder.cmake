# Run by ctest (cmake -P) around a test run: MODE=prepare empties DIR, the folder every test gets as
# its TMPDIR; MODE=check fails naming whatever the run left in it.
if(MODE STREQUAL "prepare")
  file(REMOVE_RECURSE ${DIR})
  file(MAKE_DIRECTORY ${DIR})
elseif(MODE STREQUAL "check")
  file(GLOB left LIST_DIRECTORIES true RELATIVE ${DIR} ${DIR}/* ${DIR}/.*)
  if(left)
    list(JOIN left "\n  " names)
    message(FATAL_ERROR "the tests left in ${DIR}:\n  ${names}")
  endif()
else()
  message(FATAL_ERROR "MODE must be prepare or check")
endif()
