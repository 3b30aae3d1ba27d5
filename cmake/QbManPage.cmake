# Manual pages made from a program's own --help and --version by help2man,
# with hand-written sections (files, exit statuses, examples...) from an
# include file, so that the options in the page are always the program's.
#
#   qb_add_man_page(NAME  INCLUDE file.h2m  [PROGRAM path]  [SECTION 1])
#
# NAME is the program's target, or with PROGRAM a script of the source tree.
# Makes ${CMAKE_BINARY_DIR}/man/NAME.SECTION and its .gz, builds them with
# the default target (as NAME_man) and installs the .gz in the manual's
# directory.
find_program(QB_HELP2MAN help2man)
if(NOT QB_HELP2MAN)
  message(FATAL_ERROR "help2man not found (Debian package help2man); it makes the manual page")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/QbGzip.cmake)
set(QB_HELP2MAN_SOURCE ${CMAKE_CURRENT_LIST_DIR}/help2man-source)

function(qb_add_man_page NAME)
  cmake_parse_arguments(PARSE_ARGV 1 MAN "" "INCLUDE;PROGRAM;SECTION" "")
  if(NOT MAN_INCLUDE)
    message(FATAL_ERROR "qb_add_man_page(${NAME}): INCLUDE is needed")
  endif()
  if(NOT MAN_SECTION)
    set(MAN_SECTION 1)
  endif()
  if(MAN_PROGRAM)
    get_filename_component(program ${MAN_PROGRAM} ABSOLUTE)
    set(depends ${program})
  else()
    set(program $<TARGET_FILE:${NAME}>)
    set(depends ${NAME})
  endif()
  get_filename_component(include ${MAN_INCLUDE} ABSOLUTE)
  set(dir ${CMAKE_BINARY_DIR}/man)
  set(page ${dir}/${NAME}.${MAN_SECTION})
  file(MAKE_DIRECTORY ${dir})
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E env QB_HELP2MAN_PROGRAM=${program}
            ${QB_HELP2MAN} --no-info --section=${MAN_SECTION} --include=${include} --output=${page}
            ${QB_HELP2MAN_SOURCE}
    DEPENDS ${depends} ${include} ${QB_HELP2MAN_SOURCE}
    COMMENT "Making the manual page ${NAME}(${MAN_SECTION}) from its --help"
    VERBATIM)
  qb_gzip_file(${page} ${page}.gz)
  add_custom_target(${NAME}_man ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${MAN_SECTION})
endfunction()
