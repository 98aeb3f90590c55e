# Manual pages: termlink(1), termsim(1), termlink-sync(1), qvupdate(1), qvpack(1) and
# termlink(3). Each is built from its template in docs/man/ and the built
# program's own --help (or, for termlink(3), the export table) by
# docs/man/genman.py, so the lists in them follow the programs. The programs
# run at build time, so sanitizer and cross builds go without pages.
find_package(Python3 COMPONENTS Interpreter QUIET)
if(Python3_Interpreter_FOUND AND NOT CMAKE_CROSSCOMPILING AND NOT TL_SANITIZE AND NOT TL_FUZZ)
  set(TL_MAN_DEFAULT ON)
else()
  set(TL_MAN_DEFAULT OFF)
endif()
option(TL_MAN "Build and install the manual pages" ${TL_MAN_DEFAULT})

if(TL_MAN)
  set(man_dir ${CMAKE_BINARY_DIR}/man)
  set(genman ${CMAKE_SOURCE_DIR}/docs/man/genman.py)
  set(man_outputs "")
  # page:section:program target (- for none)
  foreach(entry termlink:1:termlink_tool termsim:1:termsim termlink-sync:1:termlink_sync
                qvupdate:1:qvupdate
                qvpack:1:qvpack termlink:3:-)
    string(REPLACE ":" ";" parts ${entry})
    list(GET parts 0 page)
    list(GET parts 1 section)
    list(GET parts 2 program)
    if(NOT program STREQUAL "-" AND NOT TARGET ${program})
      continue()
    endif()
    set(template ${CMAKE_SOURCE_DIR}/docs/man/${page}.${section}.in)
    set(out ${man_dir}/${page}.${section})
    if(program STREQUAL "-")
      set(source --exports ${CMAKE_SOURCE_DIR}/termlink/exports/exports.tsv)
      set(deps ${CMAKE_SOURCE_DIR}/termlink/exports/exports.tsv)
    else()
      set(source --program $<TARGET_FILE:${program}>)
      set(deps ${program})
    endif()
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
      COMMAND ${Python3_EXECUTABLE} ${genman} ${template} ${out} ${PROJECT_VERSION} ${source}
      DEPENDS ${genman} ${template} ${deps}
      COMMENT "Generating manual page ${page}(${section})")
    list(APPEND man_outputs ${out})
    if(section STREQUAL "3")
      set(component development)
    else()
      set(component tools)
    endif()
    install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${component})
  endforeach()
  add_custom_target(man ALL DEPENDS ${man_outputs})
  set(TL_MAN_DIR ${man_dir})
endif()
