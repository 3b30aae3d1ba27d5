# Manual pages made from a program's own --help and --version by help2man,
# with hand-written sections (files, exit statuses, examples...) from an
# include file, so that the options in the page are always the program's.
#
#   qb_add_man_page(TARGET  INCLUDE file.h2m  [SECTION 1])
#
# Makes ${CMAKE_BINARY_DIR}/man/TARGET.SECTION and its .gz, builds them with
# the default target and installs the .gz in the manual's directory.
find_program(QB_HELP2MAN help2man)
if(NOT QB_HELP2MAN)
  message(FATAL_ERROR "help2man not found (Debian package help2man); it makes the manual page")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/QbGzip.cmake)
set(QB_HELP2MAN_SOURCE ${CMAKE_CURRENT_LIST_DIR}/help2man-source)

function(qb_add_man_page TARGET)
  cmake_parse_arguments(PARSE_ARGV 1 MAN "" "INCLUDE;SECTION" "")
  if(NOT MAN_INCLUDE)
    message(FATAL_ERROR "qb_add_man_page(${TARGET}): INCLUDE is needed")
  endif()
  if(NOT MAN_SECTION)
    set(MAN_SECTION 1)
  endif()
  get_filename_component(include ${MAN_INCLUDE} ABSOLUTE)
  set(dir ${CMAKE_BINARY_DIR}/man)
  set(page ${dir}/${TARGET}.${MAN_SECTION})
  file(MAKE_DIRECTORY ${dir})
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E env QB_HELP2MAN_PROGRAM=$<TARGET_FILE:${TARGET}>
            ${QB_HELP2MAN} --no-info --section=${MAN_SECTION} --include=${include} --output=${page}
            ${QB_HELP2MAN_SOURCE}
    DEPENDS ${TARGET} ${include} ${QB_HELP2MAN_SOURCE}
    COMMENT "Making the manual page ${TARGET}(${MAN_SECTION}) from its --help"
    VERBATIM)
  qb_gzip_file(${page} ${page}.gz)
  add_custom_target(${TARGET}_man ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${MAN_SECTION})
endfunction()
