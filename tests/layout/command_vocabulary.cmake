# Fails when a file under SOURCE_DIR other than VOCABULARY defines a command
# or reply code (CMD_... or REPLY_... on the left of an "=" or a brace, or in
# a #define). termlink keeps its whole command vocabulary in one header, so
# that each code is written exactly once.
#   cmake -DSOURCE_DIR=<termlink sources> -DVOCABULARY=<path relative to it> -P command_vocabulary.cmake
set(definition "(CMD|REPLY)_[A-Z0-9_]+[ \t]*(=[^=]|=$|{)|#[ \t]*define[ \t]+(CMD|REPLY)_")

file(STRINGS "${SOURCE_DIR}/${VOCABULARY}" own REGEX "${definition}")
if(NOT own)
  message(FATAL_ERROR "${VOCABULARY} defines no command code: has the vocabulary moved?")
endif()

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.c"
     "${SOURCE_DIR}/*.cpp")
set(strays "")
foreach(source IN LISTS sources)
  if(source STREQUAL VOCABULARY)
    continue()
  endif()
  file(STRINGS "${SOURCE_DIR}/${source}" hits REGEX "${definition}")
  foreach(hit IN LISTS hits)
    string(APPEND strays "\n  ${source}: ${hit}")
  endforeach()
endforeach()
if(strays)
  message(FATAL_ERROR "command or reply codes defined outside ${VOCABULARY}:${strays}")
endif()
