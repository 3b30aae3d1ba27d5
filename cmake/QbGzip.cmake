# Compressed copies of files for Debian's documentation directories: gzip
# -9 without name or time stamp, so a rebuild gives the same bytes.
find_program(QB_GZIP gzip REQUIRED)

# Adds a build rule making OUTPUT (ending in .gz) from SOURCE.
function(qb_gzip_file SOURCE OUTPUT)
  string(REGEX REPLACE "\\.gz$" "" plain "${OUTPUT}")
  if(plain STREQUAL OUTPUT)
    message(FATAL_ERROR "qb_gzip_file: ${OUTPUT} must end in .gz")
  endif()
  get_filename_component(name "${OUTPUT}" NAME)
  if(plain STREQUAL SOURCE)
    set(copy_step)
  else()
    set(copy_step COMMAND ${CMAKE_COMMAND} -E copy ${SOURCE} ${plain})
  endif()
  add_custom_command(
    OUTPUT ${OUTPUT}
    ${copy_step}
    COMMAND ${QB_GZIP} -9nkf ${plain}
    DEPENDS ${SOURCE}
    COMMENT "Compressing ${name}"
    VERBATIM)
endfunction()
